#pragma once

#include <QDialog>
#include <QWidget>

class QLabel;
class QLineEdit;
class QRadioButton;

namespace qzr {
struct MainState;
}

namespace qzr::gui {

// "ID and Checksum": the ID and the ID checksum in ASCII or HEX, an editor behind "Edit ID" and a
// double-click on the ID, and the extended rows behind two hidden spots. An MDI child; the main window keeps
// one at most (MainState::idWindowOpen).
class TIDChecksumForm : public QWidget {
    Q_OBJECT
  public:
    explicit TIDChecksumForm(MainState& st, QWidget* parent = nullptr);
    ~TIDChecksumForm() override;

    // Redraws both texts; the core copies them to the main window's "ID :" and "Checksum in IC:" and asks
    // it to show them (ViewHooks::refreshIdDisplay).
    void IDLabelShow();
    // The window's height: 210 normal, 430 extended, 500 extended with option rows.
    static constexpr int kNormalHeight = 210;
    static constexpr int kExtendedHeight = 430;
    static constexpr int kOptionRowsHeight = 500;
    int viewHeight() const { return height_; }
    // The two hidden spots: normal <-> extended, extended <-> extended with the option rows.
    void StaticText1DblClick();
    void StaticText5DblClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void RadioGroup1Change();
    void Label2DblClick();
    void setViewHeight(int height);

    MainState& st_;
    QLabel* idLabel_;
    QLabel* checksumLabel_;
    QRadioButton* ascii_;
    QRadioButton* hex_;
    QWidget* extended_ = nullptr;
    QWidget* optionRows_ = nullptr;
    int height_ = kNormalHeight;
};

// "ID Modify": HEX mode a masked field of twelve hexadecimal bytes, ASCII mode up to twelve characters. OK
// stores the ID through the core (applyIdEditorText).
class TIDModify : public QDialog {
    Q_OBJECT
  public:
    TIDModify(MainState& st, QWidget* parent = nullptr);

  private:
    void BitBtn1Click();

    MainState& st_;
    int mode_;
    QLineEdit* edit_;
};

}  // namespace qzr::gui
