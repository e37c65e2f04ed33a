#include "gui/image/BufferViews.h"

#include <QAbstractTableModel>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "app/BufferCommands.h"
#include "core/image/CellEdit.h"

namespace qzr::gui {

// ---------------------------------------------------------------------------------------------------------
// Word editor

TEditSingleData::TEditSingleData(UserInterface& ui, int coreType, const QString& initialText, QWidget* parent)
    : QDialog(parent),
      ui_(ui),
      coreType_(coreType),
      initialText_(initialText),
      result_(wordEditorCancel(initialText.toStdString())) {
    setObjectName(QStringLiteral("TEditSingleData"));
    setWindowTitle(QStringLiteral("Enter new value"));

    auto* label = new QLabel(QStringLiteral("Enter new value :"), this);
    label->setObjectName(QStringLiteral("Label1"));
    edit1_ = new QLineEdit(this);
    edit1_->setObjectName(QStringLiteral("Edit1"));
    edit1_->setMaxLength(4);
    // Only hexadecimal digits are typed; Backspace and the cursor keys stay usable.
    edit1_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,4}")), edit1_));
    edit1_->setText(initialText);
    edit1_->selectAll();
    label->setBuddy(edit1_);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Button2"));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &TEditSingleData::Button1Click);
    connect(cancel, &QPushButton::clicked, this, &TEditSingleData::reject);

    auto* fields = new QHBoxLayout;
    fields->addWidget(label);
    fields->addWidget(edit1_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    adjustSize();
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

void TEditSingleData::Button1Click() {
    const auto value = wordEditorAccept(edit1_->text().toStdString(), coreType_);
    if (!value) {
        ui_.error(kWordEditorTooLarge);
        edit1_->setText(initialText_);
        edit1_->setFocus();
        return;
    }
    result_ = *value;
    accept();
}

void TEditSingleData::reject() {
    result_ = wordEditorCancel(initialText_.toStdString());
    QDialog::reject();
}

// ---------------------------------------------------------------------------------------------------------
// Grids

// How one kind of view lays out and edits its grid; the rules themselves live in the core.
struct BufferGridRules {
    int columns;  // with the address column
    int columnWidth;
    int (*rows)(const DeviceFields&);
    std::string (*header)(int col);
    std::string (*address)(int row);
    std::size_t (*indexAt)(int row, int col);
    std::string (*cellText)(const MemoryImage&, std::size_t);
    bool (*edit)(MainState&, std::size_t, std::string_view, uint32_t);
};

namespace {
constexpr int kRowHeight = 20;

const BufferGridRules kProgramRules{kProgramGridColumns, 40,
                                    &programGridRows,    &programHeaderText,
                                    &programAddressText, &programWordAt,
                                    &programCellText,    &editProgramWord};
const BufferGridRules kEepromRules{kEepromGridColumns, 30,
                                   &eepromGridRows,    &eepromHeaderText,
                                   &eepromAddressText, &eepromIndexAt,
                                   &eepromCellText,    &editEepromByte};
}  // namespace

// The cells of a grid as texts, read from the image when the view is created or reloaded. Model row r,
// column c is the grid's cell (r + 1, c + 1); the header row and the address column are the table's headers.
class BufferGridModel final : public QAbstractTableModel {
  public:
    BufferGridModel(const BufferGridRules& rules, QObject* parent)
        : QAbstractTableModel(parent), rules_(rules) {}

    void load(const MainState& st) {
        beginResetModel();
        rows_ = std::max(rules_.rows(st.device) - 1, 0);
        cells_.clear();
        cells_.reserve(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cellColumns()));
        for (int r = 1; r <= rows_; ++r) {
            for (int c = 1; c <= cellColumns(); ++c) {
                cells_.push_back(QString::fromStdString(rules_.cellText(st.image, rules_.indexAt(r, c))));
            }
        }
        endResetModel();
    }

    // Grid coordinates (row, col >= 1).
    const QString& cell(int row, int col) const { return cells_[slot(row, col)]; }
    void setCell(int row, int col, const QString& text) {
        cells_[slot(row, col)] = text;
        const QModelIndex i = index(row - 1, col - 1);
        emit dataChanged(i, i, {Qt::DisplayRole});
    }

    int cellColumns() const { return rules_.columns - 1; }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : cellColumns();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        if (role == Qt::DisplayRole) return cell(index.row() + 1, index.column() + 1);
        if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
        return QString::fromStdString(orientation == Qt::Horizontal ? rules_.header(section + 1)
                                                                    : rules_.address(section + 1));
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

  private:
    std::size_t slot(int row, int col) const {
        return static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(cellColumns()) +
               static_cast<std::size_t>(col - 1);
    }

    const BufferGridRules& rules_;
    int rows_ = 0;
    std::vector<QString> cells_;
};

BufferView::BufferView(MainState& st, const BufferGridRules& rules, QWidget* parent)
    : QWidget(parent),
      st_(st),
      rules_(rules),
      model_(new BufferGridModel(rules, this)),
      grid_(new QTableView(this)) {
    grid_->setObjectName(QStringLiteral("StringGrid1"));
    grid_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    grid_->setModel(model_);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid_->setShowGrid(true);
    grid_->setWordWrap(false);
    grid_->setCornerButtonEnabled(false);
    // Fixed sections: every row has the same height, so even 16,384 words lay out without measuring.
    for (QHeaderView* h : {grid_->horizontalHeader(), grid_->verticalHeader()}) {
        h->setMinimumSectionSize(1);
        h->setSectionResizeMode(QHeaderView::Fixed);
        h->setSectionsClickable(false);
        h->setHighlightSections(false);
    }
    grid_->horizontalHeader()->setDefaultSectionSize(rules.columnWidth);
    grid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid_->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(grid_);

    runner_ = [this](QWidget* owner, const QString& text) {
        TEditSingleData editor(*st_.ui, st_.device.coreType, text, owner);
        editor.exec();
        return editor.result();
    };
    connect(grid_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        grid_->setCurrentIndex(index);
        StringGrid1DblClick();
    });
    reload();
}

BufferView::~BufferView() = default;

void BufferView::reload() {
    model_->load(st_);
}

bool BufferView::editCell(int row, int col) {
    if (row < 1 || col < 1 || row >= rowCount() || col >= columnCount()) return false;
    const QString text = model_->cell(row, col);
    const QPointer<BufferView> alive(this);
    const uint32_t result = runner_(this, text);
    // While the editor was open the view may have been closed or reloaded with fewer rows.
    if (!alive || row >= rowCount()) return false;
    const std::size_t index = rules_.indexAt(row, col);
    if (!rules_.edit(st_, index, text.toStdString(), result)) return false;
    model_->setCell(row, col, QString::fromStdString(rules_.cellText(st_.image, index)));
    return true;
}

int BufferView::columnsWidth() const {
    return grid_->verticalHeader()->sizeHint().width() + (columnCount() - 1) * rules_.columnWidth +
           2 * grid_->frameWidth() + grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid_);
}

void BufferView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!sub) return;
    if (QLayout* l = sub->layout()) l->activate();
    const int frame = sub->width() - width();
    if (sub->width() < columnsWidth() + frame) sub->resize(columnsWidth() + frame, sub->height());
}

void BufferView::StringGrid1DblClick() {
    const QModelIndex current = grid_->currentIndex();
    if (current.isValid()) editCell(current.row() + 1, current.column() + 1);
}

int BufferView::rowCount() const {
    return model_->rowCount() + 1;
}

int BufferView::columnCount() const {
    return rules_.columns;
}

QString BufferView::cellText(int row, int col) const {
    if (row < 0 || col < 0 || row >= rowCount() || col >= columnCount()) return {};
    if (row == 0) return col == 0 ? QString() : QString::fromStdString(rules_.header(col));
    if (col == 0) return QString::fromStdString(rules_.address(row));
    return model_->cell(row, col);
}

// ---------------------------------------------------------------------------------------------------------
// The two views

TMDIChild::TMDIChild(MainState& st, QWidget* parent) : BufferView(st, kProgramRules, parent) {
    setObjectName(QStringLiteral("TMDIChild"));
    setWindowTitle(st.dataFileName.empty() ? QStringLiteral("Program Memory")
                                           : QString::fromLocal8Bit(st.dataFileName.c_str()));
    resize(400, 319);
}

TEEDataForm::TEEDataForm(MainState& st, QWidget* parent) : BufferView(st, kEepromRules, parent) {
    setObjectName(QStringLiteral("TEEDataForm"));
    setWindowTitle(QStringLiteral("EEPROM data"));
    resize(487, 195);
}

}  // namespace qzr::gui
