#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

#include "core/info_sheet/InfoSheet.h"

class QLineEdit;
class QRadioButton;
class QLabel;
class QPainter;
class QPrinter;

namespace qzr {
struct MainState;
}

namespace qzr::gui {

class FileChooser;

// tbInfoSheetClick: the opening checks, then the sheet, modal over `parent`.
void openInfoSheet(MainState& st, FileChooser& chooser, QWidget* parent);

// Whether the machine has a default printer. Tests replace the probe (a machine's printer is never used by a
// test); an empty probe restores the real one.
void setInfoSheetPrinterProbe(std::function<bool()> probe);

// Paints the page on a printer (or a PDF writer) opened on `painter`: the logo, then every text of the page
// model in the sheet's font at its position, scaled from 600 dots per inch to the device's resolution.
void paintInfoPage(QPainter& painter, const InfoPage& page);

// Where the page goes when there is no printer: beside the saved text file (its name with ".pdf"), else
// beside the data file (its name with ".pdf"), else "Customer information sheet.pdf" in `fallbackFolder`.
QString infoSheetPdfPath(const std::optional<std::string>& savedText, const std::string& dataFileName,
                         const std::string& fallbackFolder);

// Writes the page into a PDF file, whole or not at all. Returns false when it could not be written.
bool printInfoPageToPdf(const InfoPage& page, const QString& path);

// "Customer Information sheet".
class TInfoForm : public QDialog {
    Q_OBJECT
  public:
    TInfoForm(MainState& st, FileChooser& chooser, QWidget* parent = nullptr);

    // The sheet as its controls hold it now.
    InfoSheet sheet() const;

  private:
    void rgSerialModeClick();
    void bbSavePrintClick();
    void bbExitClick();
    // PrintProjectInfo: the default printer, or a PDF file where there is none; the outcome is always shown.
    void PrintProjectInfo(const InfoSheet& sheet, const std::optional<std::string>& savedText);

    MainState& st_;
    FileChooser& chooser_;
    InfoSheet shown_;  // what FormShow copied from the main window
    QLineEdit* edCustomerName_;
    QLineEdit* edCustomerProject_;
    QLineEdit* edPartNo_;
    QLineEdit* edCodeNo_;
    QRadioButton* serialEnable_;
    QLabel* serialCaption_;
    QLabel* serialUnit_;
    QLineEdit* edSerialNoStartAddr_;
    QLineEdit* edFrequency_;
    QLineEdit* edVoltageLow_;
    QLineEdit* edVoltageHi_;
    QLineEdit* edCurrent_;
    QLineEdit* edSleepCurrent_;
};

}  // namespace qzr::gui
