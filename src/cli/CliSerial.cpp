// Serial-number commands: serial, write-qtp, load-qtp.
#include <algorithm>

#include "app/QtpCommands.h"
#include "app/SerialNumberCommands.h"
#include "cli/Cli.h"
#include "core/serial_number/QtpFile.h"
#include "core/serial_number/SerialNumber.h"

namespace qzr::cli {

namespace {

bool isHexText(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}

bool isDecimalText(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct SerialArgs {
    std::string address;
    std::string byteCount;
    std::string value;
    std::optional<std::string> increment;
    std::optional<SerialKind> mode;
    std::optional<SerialByteOrder> order;
    std::optional<SerialTarget> target;
};

// Types a field and leaves it, as the dialog's user does; false when leaving it showed a message.
bool typeAndLeave(MainState& st, SerialNoFields& fields, SerialField field, const std::string& text) {
    TypeSerialField(fields, field, text);
    return LeaveSerialField(fields, field, *st.ui);
}

int runSerial(Context& ctx, const SerialArgs& a) {
    MainState& st = ctx.st;
    SerialNoFields fields = FillSerialNoFields(st.serial);
    // The radio groups first: the mode decides the all-F rule when "Start Value" is left.
    if (a.mode) fields.mode = *a.mode;
    if (a.order) fields.byteOrder = *a.order;
    if (a.target) fields.target = *a.target;
    bool ok = typeAndLeave(st, fields, SerialField::StartAddress, a.address) &&
              typeAndLeave(st, fields, SerialField::NoOfByte, a.byteCount) &&
              typeAndLeave(st, fields, SerialField::StartValue, a.value);
    if (ok && a.increment) ok = typeAndLeave(st, fields, SerialField::Increment, *a.increment);
    if (!ok || !BtnOKClick(st, fields)) return kExitFailed;
    SerialNoDialogClosed(st);
    return kExitOk;
}

std::optional<Action> parseSerial(ArgStream& args, std::string& error) {
    SerialArgs a;
    const char* usage = "usage: serial ADDR N VALUE [INC] [seq|random] [msb|lsb] [program|eeprom]";
    for (std::string* field : {&a.address, &a.byteCount, &a.value}) {
        if (args.atEnd()) {
            error = usage;
            return std::nullopt;
        }
        *field = args.next();
    }
    if (!isHexText(a.address) || a.address.size() > 4) {
        error = "ADDR must be 1 to 4 hexadecimal digits";
        return std::nullopt;
    }
    if (a.byteCount.size() != 1 || a.byteCount[0] < '1' || a.byteCount[0] > '8') {
        error = "N must be 1 to 8";
        return std::nullopt;
    }
    if (!isHexText(a.value)) {
        error = "VALUE must be hexadecimal";
        return std::nullopt;
    }
    // The optional fields, in their order; each is taken only when the next word fits it.
    if (!args.atEnd() && isDecimalText(args.peek())) {
        a.increment = args.next();
        if (a.increment->size() > 3) {
            error = "INC must be at most 3 decimal digits";
            return std::nullopt;
        }
    }
    if (!args.atEnd() && (args.peek() == "seq" || args.peek() == "random")) {
        a.mode = args.next() == "seq" ? SerialKind::Sequential : SerialKind::PseudoRandom;
    }
    if (!args.atEnd() && (args.peek() == "msb" || args.peek() == "lsb")) {
        a.order = args.next() == "msb" ? SerialByteOrder::MsbFirst : SerialByteOrder::LsbFirst;
    }
    if (!args.atEnd() && (args.peek() == "program" || args.peek() == "eeprom")) {
        a.target = args.next() == "program" ? SerialTarget::ProgramMemory : SerialTarget::Eeprom;
    }
    return Action([a](Context& ctx) { return runSerial(ctx, a); });
}

int runWriteQtp(Context& ctx, const std::string& file, const std::string& parts) {
    MainState& st = ctx.st;
    SerialNoFields fields = FillSerialNoFields(st.serial);
    // "No. of Parts" as pasted: a count beyond the field's six digits is reported as an overflow.
    fields.noOfPart = parts;
    if (!LeaveSerialField(fields, SerialField::NoOfPart, *st.ui)) return kExitFailed;
    const auto choose = [&file]() { return std::optional<QtpFileChoice>(QtpFileChoice{file, 2}); };
    return BtnQtpFileClick(st, fields, choose) == QtpWriteResult::Written ? kExitOk : kExitFailed;
}

std::optional<Action> parseWriteQtp(ArgStream& args, std::string& error) {
    if (args.atEnd()) {
        error = "usage: write-qtp FILE PARTS";
        return std::nullopt;
    }
    std::string file = args.next();
    if (args.atEnd() || !isDecimalText(args.peek())) {
        error = "usage: write-qtp FILE PARTS (PARTS decimal)";
        return std::nullopt;
    }
    std::string parts = args.next();
    return Action([file, parts](Context& ctx) { return runWriteQtp(ctx, file, parts); });
}

std::optional<Action> parseLoadQtp(ArgStream& args, std::string& error) {
    if (args.atEnd()) {
        error = "usage: load-qtp FILE";
        return std::nullopt;
    }
    std::string file = args.next();
    return Action([file](Context& ctx) {
        const auto choose = [&file]() { return std::optional<QtpFileChoice>(QtpFileChoice{file, 2}); };
        return LoadQTPFile1Click(ctx.st, choose) ? kExitOk : kExitFailed;
    });
}

}  // namespace

void registerSerialCommands(std::vector<CommandSpec>& commands) {
    commands.push_back({"serial", parseSerial});
    commands.push_back({"write-qtp", parseWriteQtp});
    commands.push_back({"load-qtp", parseLoadQtp});
}

}  // namespace qzr::cli
