#pragma once

#include <QDialog>
#include <QStringList>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/GangRun.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace qzr::gui {

// Functions > "Gang Programming": up to eight writers, one per socket, auto-programmed at once over the main
// window's project (GangRun). Each socket (Socket1 ... Socket8) has its port (cbPort, the main window's port
// list), the writer's identification (lbWriter), the serial number being programmed (lbSerial), a progress
// bar (pbProgress), the step line (lbStep), a large PASS / FAIL (lbVerdict) and its switch (cbOn). Start
// (btStart, the default button: Enter) runs one round on every socket that is on; Stop (btStop) ends every
// socket at its next exchange. lbRound counts the rounds, lbLotCounts shows the lot's counts in the
// production journal. The window is modal: the project stays as it is while the gang runs.
class TGangForm : public QDialog {
    Q_OBJECT
  public:
    TGangForm(MainState& st, const QStringList& ports, QWidget* parent = nullptr);
    ~TGangForm() override;

    // A round runs (tests wait for its end).
    bool running() const { return running_; }
    GangRun* gang() { return gang_.get(); }

  protected:
    void reject() override;

  private:
    struct SocketControls {
        QGroupBox* box = nullptr;
        QComboBox* port = nullptr;
        QLabel* writer = nullptr;
        QLabel* serial = nullptr;
        QProgressBar* progress = nullptr;
        QLabel* step = nullptr;
        QLabel* verdict = nullptr;
        QCheckBox* on = nullptr;
    };
    class SocketView;

    void start();
    void stop();
    void socketEnded();
    void endRound();
    // The gang of the sockets' ports (made again when a port was changed).
    void prepareGang();
    void showVerdict(int socket, const QString& text, const char* colour);
    void showCounts();

    MainState& st_;
    std::array<SocketControls, kMaxGangSockets> sockets_;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QLabel* round_ = nullptr;
    QLabel* counts_ = nullptr;
    bool running_ = false;
    bool endQueued_ = false;  // the round's end is queued behind the last lines of its workers
    int passed_ = 0;
    int failed_ = 0;
    std::vector<std::unique_ptr<SocketView>> views_;  // outlive the gang's workers
    std::vector<std::string> gangPorts_;
    std::unique_ptr<GangRun> gang_;
};

}  // namespace qzr::gui
