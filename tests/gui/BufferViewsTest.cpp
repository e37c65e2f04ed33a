#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "GuiTestApp.h"
#include "app/DeviceCommands.h"
#include "core/image/CellEdit.h"
#include "gui/image/BufferViews.h"
#include "support/RecordingUi.h"

namespace qzr::gui {
namespace {

using Log = std::vector<std::string>;

struct BufferViews : ::testing::Test {
    MainState st;
    test::RecordingUi ui;

    BufferViews() {
        test::guiApp();
        st.ui = &ui;
    }
    void device(const char* name) {
        ASSERT_TRUE(selectDevice(st, name));
        ui.log.clear();
    }
    static QString shown(const BufferView& view, int row, int col) {
        auto* grid = view.findChild<QTableView*>("StringGrid1");
        return grid->model()->data(grid->model()->index(row - 1, col - 1)).toString();
    }
};

TEST_F(BufferViews, ProgramViewShowsTheWords) {
    device("QZR-D10");
    st.image.setProgramWord(0, splitWord(0x2805));
    st.image.setProgramWord(9, splitWord(0x0123));
    TMDIChild view(st);
    EXPECT_EQ(view.objectName(), "TMDIChild");
    EXPECT_EQ(view.windowTitle(), "Program Memory");
    EXPECT_EQ(shown(view, 1, 1), "2805");
    EXPECT_EQ(shown(view, 2, 2), "0123");
    EXPECT_EQ(shown(view, 2, 3), "3FFF");
    EXPECT_EQ(view.grid()->editTriggers(), QAbstractItemView::NoEditTriggers);

    st.dataFileName = "demo.bin";
    EXPECT_EQ(TMDIChild(st).windowTitle(), "demo.bin");
}

TEST_F(BufferViews, GridGeometry) {
    struct Case {
        const char* device;
        uint16_t romLastAddress;  // 0: the device's own
        int programRows;
        const char* lastWordAddress;
        const char* lastWord;  // blank
        int eepromRows;
    };
    const Case cases[] = {
        {"QZR-D02", 0, 129, "0x03F8", "3FFF", 9},        // 1024 words, 128 EEPROM bytes
        {"QZR-D59", 0, 65, "0x01F8", "07FF", 1},         // the 11-bit core
        {"QZR-D10", 0x3FFF, 2049, "0x3FF8", "3FFF", 1},  // a full program area of 16,384 words
    };
    for (const auto& c : cases) {
        device(c.device);
        if (c.romLastAddress != 0) st.device.romLastAddress = c.romLastAddress;
        TMDIChild program(st);
        EXPECT_EQ(program.rowCount(), c.programRows) << c.device;
        EXPECT_EQ(program.columnCount(), 9);
        EXPECT_EQ(program.cellText(c.programRows - 1, 0), c.lastWordAddress) << c.device;
        EXPECT_EQ(program.cellText(c.programRows - 1, 8), c.lastWord) << c.device;
        TEEDataForm eeprom(st);
        EXPECT_EQ(eeprom.rowCount(), c.eepromRows) << c.device;
        EXPECT_EQ(eeprom.columnCount(), 17);
    }
    device("QZR-D02");
    TMDIChild program(st);
    TEEDataForm eeprom(st);
    EXPECT_EQ(eeprom.windowTitle(), "EEPROM data");
    EXPECT_EQ((std::vector<QString>{program.cellText(0, 1), program.cellText(0, 8), program.cellText(1, 0)}),
              (std::vector<QString>{"+0/8", "+7/F", "0x0000"}));
    EXPECT_EQ((std::vector<QString>{eeprom.cellText(0, 1), eeprom.cellText(0, 16), eeprom.cellText(1, 0),
                                    eeprom.cellText(8, 0), eeprom.cellText(8, 16)}),
              (std::vector<QString>{"+0", "+F", "0x00", "0x70", "00"}));
    EXPECT_EQ(program.grid()->horizontalHeader()->defaultSectionSize(), 40);
    EXPECT_EQ(eeprom.grid()->horizontalHeader()->defaultSectionSize(), 30);
    EXPECT_EQ(program.grid()->verticalHeader()->defaultSectionSize(), 20);
}

// The word editor as the user drives it: type, OK; when it stays open, Cancel.
TEST_F(BufferViews, WordEditOnTheElevenBitCore) {
    struct Case {
        const char* typed;
        bool cancel;  // Cancel instead of OK
        const char* cell;
        Log log;
    };
    const Case cases[] = {
        {"5", false, "0005", {}},
        {"7ff", false, "07FF", {}},
        {"800", false, "0123", {"Error: Invalid Value,too large!"}},  // refused, then cancelled
        {"456", true, "0123", {}},
    };
    device("QZR-D59");
    int col = 0;
    for (const auto& c : cases) {
        ++col;
        st.image.setProgramWord(static_cast<std::size_t>(col - 1), splitWord(0x123));
        TMDIChild view(st);
        QString textAfterRefusal;
        view.setWordEditorRunner([&](QWidget* parent, const QString& initial) {
            TEditSingleData editor(*st.ui, st.device.coreType, initial, parent);
            editor.show();
            auto* edit = editor.findChild<QLineEdit*>("Edit1");
            EXPECT_EQ(edit->text(), initial);
            edit->setText(c.typed);
            editor.findChild<QPushButton*>(c.cancel ? "Button2" : "Button1")->click();
            if (editor.isVisible()) {
                textAfterRefusal = edit->text();
                editor.findChild<QPushButton*>("Button2")->click();
            }
            EXPECT_FALSE(editor.isVisible());
            return editor.result();
        });
        ui.log.clear();
        emit view.grid()->doubleClicked(view.grid()->model()->index(0, col - 1));
        EXPECT_EQ(view.cellText(1, col), c.cell) << c.typed;
        EXPECT_EQ(programCellText(st.image, static_cast<std::size_t>(col - 1)), c.cell) << c.typed;
        EXPECT_EQ(ui.log, c.log) << c.typed;
        if (!c.log.empty()) {
            EXPECT_EQ(textAfterRefusal, "0123");
        }
    }
}

TEST(WordEditorDialog, Controls) {
    test::guiApp();
    test::RecordingUi ui;
    TEditSingleData editor(ui, 1, "3FFF");
    EXPECT_EQ(editor.objectName(), "TEditSingleData");
    EXPECT_EQ(editor.windowTitle(), "Enter new value");
    EXPECT_EQ(editor.result(), 0x3FFFu);
    auto* edit = editor.findChild<QLineEdit*>("Edit1");
    EXPECT_EQ(edit->maxLength(), 4);
    QString typed = "1g";
    int pos = 2;
    EXPECT_EQ(edit->validator()->validate(typed, pos), QValidator::Invalid);
    auto* ok = editor.findChild<QPushButton*>("Button1");
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(editor.findChild<QPushButton*>("Button2")->text(), "Cancel");
}

// The views are snapshots: what they show may no longer be in the image, and then nothing is written.
TEST_F(BufferViews, StaleAndOversizedValuesAreNotWritten) {
    device("QZR-D02");
    TMDIChild program(st);
    TEEDataForm eeprom(st);
    program.setWordEditorRunner([](QWidget*, const QString&) { return 5u; });
    st.image.setProgramWord(0, splitWord(0x1111));  // changed behind the view's back
    EXPECT_FALSE(program.editCell(1, 1));
    EXPECT_EQ(programCellText(st.image, 0), "1111");
    EXPECT_EQ(program.cellText(1, 1), "3FFF");
    EXPECT_TRUE(program.editCell(1, 2));
    EXPECT_EQ(program.cellText(1, 2), "0005");

    uint32_t result = 0x100;
    eeprom.setWordEditorRunner([&](QWidget*, const QString&) { return result; });
    EXPECT_FALSE(eeprom.editCell(1, 1));
    EXPECT_EQ(st.image.eepromByte(0), 0);
    EXPECT_EQ(eeprom.cellText(1, 1), "00");
    result = 0xAB;
    EXPECT_TRUE(eeprom.editCell(1, 1));
    EXPECT_EQ(st.image.eepromByte(0), 0xAB);
    EXPECT_EQ(eeprom.cellText(1, 1), "AB");

    st.image.setEepromByte(1, 7);
    EXPECT_EQ(eeprom.cellText(1, 2), "00");
    eeprom.reload();
    EXPECT_EQ(eeprom.cellText(1, 2), "07");
}

}  // namespace
}  // namespace qzr::gui
