#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "app/MainState.h"

class QLineEdit;
class QPushButton;
class QTableView;

namespace qzr::gui {

// The word editor: takes a new hexadecimal value for one cell of a buffer view.
class TEditSingleData : public QDialog {
    Q_OBJECT
  public:
    TEditSingleData(UserInterface& ui, int coreType, const QString& initialText, QWidget* parent = nullptr);

    // The value the editor closed with (OK: the accepted value; Cancel: the value of the initial text).
    // Hides QDialog::result(), which still gives the Accepted/Rejected code through a QDialog reference.
    uint32_t result() const { return result_; }

    // OK: a value the device can hold closes the editor; anything else shows "Invalid Value,too large!" and
    // puts the initial text back.
    void Button1Click();
    // Cancel, Escape and the close button.
    void reject() override;

  private:
    UserInterface& ui_;
    int coreType_;
    QString initialText_;
    uint32_t result_;
    QLineEdit* edit1_;
};

// Opens the word editor over `parent` with a cell's text and returns its result (the seam of the views).
using WordEditorRunner = std::function<uint32_t(QWidget* parent, const QString& initialText)>;

class BufferGridModel;
struct BufferGridRules;

// What the two buffer views share: a snapshot of the image in a table `StringGrid1` and the double-click
// edit.
//
// Cell coordinates are those of the whole grid: row 0 is the header row, column 0 the address column, cells
// start at row 1, column 1. In the table the header row and the address column are the Qt headers, so
// the model's index (r, c) is the grid's cell (r + 1, c + 1).
class BufferView : public QWidget {
    Q_OBJECT
  public:
    ~BufferView() override;

    // Reads the image into the grid again (rows from the current device).
    void reload();

    // Opens the word editor for the cell (row >= 1, col >= 1) and writes the result through the core's cell
    // edit; the cell shows the new value when it was written. False when nothing was written.
    bool editCell(int row, int col);
    // The double-click on the grid: edits the selected cell.
    void StringGrid1DblClick();

    void setWordEditorRunner(WordEditorRunner runner) { runner_ = std::move(runner); }

    // The whole grid: rows with the header row, columns with the address column, and any cell's text
    // (headers and addresses included).
    int rowCount() const;
    int columnCount() const;
    QString cellText(int row, int col) const;

    QTableView* grid() const { return grid_; }

    // The width that shows every column of the grid side by side (with room for the vertical scroll bar).
    int columnsWidth() const;

  protected:
    BufferView(MainState& st, const BufferGridRules& rules, QWidget* parent);
    // Shown in a child window narrower than its columns (the EEPROM view's described 487 pixels hold only
    // 14 of its 16 columns in most fonts): the window is widened to show them all.
    void showEvent(QShowEvent* event) override;

    MainState& st_;

  private:
    const BufferGridRules& rules_;
    BufferGridModel* model_;
    QTableView* grid_;
    WordEditorRunner runner_;
};

// The program memory view: one cell per program word, 8 words a row.
class TMDIChild : public BufferView {
    Q_OBJECT
  public:
    explicit TMDIChild(MainState& st, QWidget* parent = nullptr);
};

// The EEPROM view: one cell per EEPROM byte, 16 bytes a row.
class TEEDataForm : public BufferView {
    Q_OBJECT
  public:
    explicit TEEDataForm(MainState& st, QWidget* parent = nullptr);
};

}  // namespace qzr::gui
