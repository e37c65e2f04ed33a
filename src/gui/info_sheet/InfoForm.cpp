#include "gui/info_sheet/InfoForm.h"

#include <QBuffer>
#include <QButtonGroup>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QValidator>

#include "app/InfoSheetCommands.h"
#include "app/MainState.h"
#include "core/common/FileIo.h"
#include "gui/common/FileChooser.h"
#include "gui/common/LogoForm.h"
#include "gui/common/ModalRunner.h"
#include "gui/common/Text.h"

namespace qzr::gui {

namespace {

std::string ss(const QString& s) {
    return s.toLocal8Bit().toStdString();
}

std::function<bool()>& printerProbe() {
    static std::function<bool()> probe;
    return probe;
}

bool hasDefaultPrinter() {
    if (printerProbe()) return printerProbe()();
    return !QPrinterInfo::defaultPrinter().isNull();
}

std::string today() {
    return ss(QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
}

// The serial start address: at most four hexadecimal digits, typed small letters become capitals.
class StartAddressValidator final : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        QString out;
        for (const QChar c : input) {
            const auto key = serialStartAddressKey(c.toLatin1(), static_cast<std::size_t>(out.size()));
            if (!key || c.unicode() > 0x7F) return Invalid;
            out += QChar(*key);
        }
        input = out;
        return Acceptable;
    }
};

QLabel* sunken(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);  // a file name is never markup
    label->setText(text);
    label->setObjectName(name);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(120);
    return label;
}

QLineEdit* field(QWidget* parent, const char* name, const std::string& text) {
    auto* edit = new QLineEdit(qs(text), parent);
    edit->setObjectName(name);
    return edit;
}

QString optionCaptionName(std::size_t k) {
    return k == 5 ? QStringLiteral("stSecurity") : QStringLiteral("stOption%1").arg(k + 1);
}
QString optionValueName(std::size_t k) {
    return k == 5 ? QStringLiteral("lbSecurity") : QStringLiteral("lbOption%1").arg(k + 1);
}

}  // namespace

void setInfoSheetPrinterProbe(std::function<bool()> probe) {
    printerProbe() = std::move(probe);
}

void openInfoSheet(MainState& st, FileChooser& chooser, QWidget* parent) {
    if (!infoSheetMayOpen(st.device, st.image, st.options, *st.ui)) return;
    TInfoForm sheet(st, chooser, parent);
    runModal(sheet);
}

void paintInfoPage(QPainter& painter, const InfoPage& page) {
    QPaintDevice* device = painter.device();
    const double f = static_cast<double>(device->logicalDpiX()) / InfoPage::kDotsPerInch;
    const int pageWidth = device->width();
    painter.setPen(Qt::black);
    // PrintHeader: the logo at its own size, centred.
    const QPixmap logo = logoPicture();
    const QSize logoSize(static_cast<int>(logo.width() * f), static_cast<int>(logo.height() * f));
    painter.drawPixmap(
        QRect(QPoint((pageWidth - logoSize.width()) / 2, static_cast<int>(page.logoTop * f)), logoSize),
        logo);
    for (const PageText& t : page.texts) {
        QFont font(qs(page.fontFamily));
        font.setStyleHint(QFont::TypeWriter);
        font.setPointSize(t.pointSize);
        painter.setFont(font);
        const QFontMetrics metrics(font, device);
        const QString text = qs(t.text);
        const int x =
            t.centred ? (pageWidth - metrics.horizontalAdvance(text)) / 2 : static_cast<int>(t.x * f);
        // The position is the text's top-left corner.
        painter.drawText(x, static_cast<int>(t.y * f) + metrics.ascent(), text);
    }
}

QString infoSheetPdfPath(const std::optional<std::string>& savedText, const std::string& dataFileName,
                         const std::string& fallbackFolder) {
    const auto besides = [](const QString& path) {
        const QFileInfo info(path);
        const QString base = info.fileName().contains('.') ? info.completeBaseName() : info.fileName();
        return info.dir().filePath(base + ".pdf");
    };
    if (savedText && !savedText->empty()) return besides(qs(*savedText));
    if (!dataFileName.empty()) return besides(qs(dataFileName));
    const QString folder = fallbackFolder.empty() ? QDir::currentPath() : qs(fallbackFolder);
    return QDir(folder).filePath("Customer information sheet.pdf");
}

bool printInfoPageToPdf(const InfoPage& page, const QString& path) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(InfoPage::kDotsPerInch);
        pdf.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        pdf.setTitle("Customer Information Sheet");
        pdf.setCreator(QString("QZR Writer V") + kVersionText);
        QPainter painter;
        if (!painter.begin(&pdf)) return false;
        paintInfoPage(painter, page);
        if (!painter.end()) return false;
    }
    const QByteArray& bytes = buffer.data();
    return writeFileWhole(ss(path),
                          std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

TInfoForm::TInfoForm(MainState& st, FileChooser& chooser, QWidget* parent)
    : QDialog(parent), st_(st), chooser_(chooser), shown_(infoSheetFromMain(st)) {
    setObjectName("TInfoForm");
    setWindowTitle("Customer Information sheet");
    auto* column = new QVBoxLayout(this);

    // The project.
    auto* top = new QGridLayout;
    column->addLayout(top);
    edCustomerName_ = field(this, "edCustomerName", shown_.customerName);
    edCustomerProject_ = field(this, "edCustomerProject", shown_.projectName);
    edPartNo_ = field(this, "edPartNo", shown_.partNo);
    edCodeNo_ = field(this, "edCodeNo", shown_.codeNo);
    top->addWidget(new QLabel("Customer's Name :", this), 0, 0);
    top->addWidget(edCustomerName_, 0, 1, 1, 3);
    top->addWidget(new QLabel("Customer's Project Name :", this), 1, 0);
    top->addWidget(edCustomerProject_, 1, 1, 1, 3);
    top->addWidget(new QLabel("File Name :", this), 2, 0);
    top->addWidget(sunken(this, "stDataFileName", qs(shown_.dataFileName)), 2, 1);
    top->addWidget(new QLabel("Device Name:", this), 2, 2);
    top->addWidget(sunken(this, "stDeviceName", qs(shown_.deviceName)), 2, 3);
    top->addWidget(new QLabel("Device part No.:", this), 3, 0);
    top->addWidget(edPartNo_, 3, 1);
    top->addWidget(new QLabel("Code No. :", this), 3, 2);
    top->addWidget(edCodeNo_, 3, 3);

    auto* middle = new QHBoxLayout;
    column->addLayout(middle);

    // The options as the main window shows them (item 6 is the security row, shown last).
    auto* options = new QGroupBox("Options :", this);
    options->setObjectName("gbOptions");
    auto* optionGrid = new QGridLayout(options);
    int row = 0;
    for (int k : kInfoOptionOrder) {
        const std::size_t i = static_cast<std::size_t>(k);
        const InfoSheetOption& o = shown_.options[i];
        auto* caption = new QLabel(qs(o.caption), options);
        caption->setObjectName(optionCaptionName(i));
        auto* value = new QLabel(qs(o.value), options);
        value->setObjectName(optionValueName(i));
        value->setEnabled(o.valueEnabled);
        caption->setVisible(o.visible);
        value->setVisible(o.visible);
        optionGrid->addWidget(caption, row, 0);
        optionGrid->addWidget(value, row, 1);
        ++row;
    }
    optionGrid->addWidget(new QLabel("Option Value:", options), row, 0);
    auto* valueRow = new QHBoxLayout;
    valueRow->addWidget(sunken(options, "stOptionValue", qs(shown_.optionValue)));
    valueRow->addWidget(new QLabel("H", options));
    optionGrid->addLayout(valueRow, row, 1);
    middle->addWidget(options, 1);

    auto* right = new QVBoxLayout;
    middle->addLayout(right, 1);
    auto* checksum = new QGroupBox("Checksum :", this);
    checksum->setObjectName("gbChecksum");
    auto* checksumGrid = new QGridLayout(checksum);
    checksumGrid->addWidget(new QLabel("Memory:", checksum), 0, 0);
    checksumGrid->addWidget(sunken(checksum, "stChecksum", qs(shown_.memoryChecksum)), 0, 1);
    checksumGrid->addWidget(new QLabel("H", checksum), 0, 2);
    checksumGrid->addWidget(new QLabel("w/OPTIONs+EE:", checksum), 1, 0);
    checksumGrid->addWidget(sunken(checksum, "stChecksumWithOpt", qs(shown_.optionChecksum)), 1, 1);
    checksumGrid->addWidget(new QLabel("H", checksum), 1, 2);
    right->addWidget(checksum);

    auto* serial = new QGroupBox("Serial No. mode", this);
    serial->setObjectName("rgSerialMode");
    auto* serialGrid = new QGridLayout(serial);
    auto* disable = new QRadioButton("Disable", serial);
    disable->setObjectName("rbSerialDisable");
    disable->setChecked(true);
    serialEnable_ = new QRadioButton("Enable", serial);
    serialEnable_->setObjectName("rbSerialEnable");
    serialGrid->addWidget(disable, 0, 0);
    serialGrid->addWidget(serialEnable_, 0, 1);
    auto* serialGroup = new QButtonGroup(this);
    serialGroup->addButton(disable);
    serialGroup->addButton(serialEnable_);
    connect(serialGroup, &QButtonGroup::buttonToggled, this, [this] { rgSerialModeClick(); });
    right->addWidget(serial);
    auto* addressRow = new QHBoxLayout;
    serialCaption_ = new QLabel("Serial No. start address :", this);
    serialCaption_->setObjectName("lbSerialNoStartAddr");
    edSerialNoStartAddr_ = new QLineEdit(this);
    edSerialNoStartAddr_->setObjectName("edSerialNoStartAddr");
    edSerialNoStartAddr_->setValidator(new StartAddressValidator(edSerialNoStartAddr_));
    edSerialNoStartAddr_->setMaximumWidth(80);
    serialUnit_ = new QLabel("H", this);
    serialUnit_->setObjectName("lbSerialNoStartAddrUnit");
    addressRow->addWidget(serialCaption_);
    addressRow->addWidget(edSerialNoStartAddr_);
    addressRow->addWidget(serialUnit_);
    addressRow->addStretch();
    right->addLayout(addressRow);

    auto* conditions = new QGroupBox("Operation conditions:", this);
    conditions->setObjectName("gbConditions");
    auto* c = new QGridLayout(conditions);
    edFrequency_ = field(conditions, "edFrequency", shown_.frequency);
    edVoltageLow_ = field(conditions, "edVoltageLow", shown_.voltageLow);
    edVoltageHi_ = field(conditions, "edVoltageHi", shown_.voltageHigh);
    edCurrent_ = field(conditions, "edCurrent", shown_.current);
    edSleepCurrent_ = field(conditions, "edSleepCurrent", shown_.sleepCurrent);
    c->addWidget(new QLabel("Frequency:", conditions), 0, 0);
    c->addWidget(edFrequency_, 0, 1, 1, 3);
    c->addWidget(new QLabel("Hz", conditions), 0, 4);
    c->addWidget(new QLabel("Voltage:", conditions), 1, 0);
    c->addWidget(edVoltageLow_, 1, 1);
    c->addWidget(new QLabel("~", conditions), 1, 2);
    c->addWidget(edVoltageHi_, 1, 3);
    c->addWidget(new QLabel("V", conditions), 1, 4);
    c->addWidget(new QLabel("Current:", conditions), 2, 0);
    c->addWidget(edCurrent_, 2, 1, 1, 3);
    c->addWidget(new QLabel("mA", conditions), 2, 4);
    c->addWidget(new QLabel("Sleep current:", conditions), 3, 0);
    c->addWidget(edSleepCurrent_, 3, 1, 1, 3);
    c->addWidget(new QLabel("uA", conditions), 3, 4);
    right->addWidget(conditions);
    right->addStretch();

    auto* buttons = new QHBoxLayout;
    auto* savePrint = new QPushButton("Save && Print", this);
    savePrint->setObjectName("bbSavePrint");
    auto* exit = new QPushButton("Exit", this);
    exit->setObjectName("bbExit");
    buttons->addStretch();
    buttons->addWidget(savePrint);
    buttons->addWidget(exit);
    column->addLayout(buttons);
    connect(savePrint, &QPushButton::clicked, this, [this] { bbSavePrintClick(); });
    connect(exit, &QPushButton::clicked, this, [this] { bbExitClick(); });
    rgSerialModeClick();
}

InfoSheet TInfoForm::sheet() const {
    InfoSheet s = shown_;
    s.customerName = ss(edCustomerName_->text());
    s.projectName = ss(edCustomerProject_->text());
    s.partNo = ss(edPartNo_->text());
    s.codeNo = ss(edCodeNo_->text());
    s.serialEnabled = serialEnable_->isChecked();
    s.serialStartAddress = ss(edSerialNoStartAddr_->text());
    s.frequency = ss(edFrequency_->text());
    s.voltageLow = ss(edVoltageLow_->text());
    s.voltageHigh = ss(edVoltageHi_->text());
    s.current = ss(edCurrent_->text());
    s.sleepCurrent = ss(edSleepCurrent_->text());
    return s;
}

void TInfoForm::rgSerialModeClick() {
    const bool on = serialEnable_->isChecked();
    serialCaption_->setVisible(on);
    serialUnit_->setVisible(on);
    edSerialNoStartAddr_->setVisible(on);
}

void TInfoForm::bbExitClick() {
    keepInfoSheetTexts(st_, sheet());
    accept();
}

void TInfoForm::bbSavePrintClick() {
    const InfoSheet s = sheet();
    if (!checkInfoSheetFields(s, *st_.ui)) return;
    const auto saved =
        SaveProjectInfo(*st_.ui, st_.dataFileName, s, today(), [this](const std::string& proposed) {
            const FileDialogRequest request{
                "Save Customer information data", {"Information data file (*.txt)"}, 1, "txt", qs(proposed)};
            const auto choice = chooser_.saveFile(this, request);
            return choice ? std::optional<std::string>(ss(choice->path)) : std::nullopt;
        });
    PrintProjectInfo(s, saved);
    bbExitClick();
}

void TInfoForm::PrintProjectInfo(const InfoSheet& s, const std::optional<std::string>& savedText) {
    const InfoPage page = infoPage(s, today(), kVersionText);
    std::string why = "No printer";
    if (hasDefaultPrinter()) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName("Customer Information Sheet");
        QPainter painter;
        if (painter.begin(&printer)) {
            paintInfoPage(painter, page);
            if (painter.end()) return;
        }
        why = "The printer did not take the page";
    }
    // The page goes to a file instead; an existing file of that name is replaced only when the user agrees.
    const QString path = infoSheetPdfPath(savedText, st_.dataFileName, st_.startupDirectory);
    const std::string shown = ss(QDir::toNativeSeparators(path));
    if (QFileInfo::exists(path) && !st_.ui->askYesNo(shown + "\nFile existed, overwrite it?")) {
        st_.ui->message("The information sheet was not printed.");
        return;
    }
    if (printInfoPageToPdf(page, path))
        st_.ui->message(why + ": the information sheet was printed to " + shown);
    else
        st_.ui->error("The information sheet could not be printed to " + shown);
}

}  // namespace qzr::gui
