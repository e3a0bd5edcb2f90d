#include "platform/inifiles.h"

#include <exception>
#include <utility>

#include "platform/forms.h"

bool IsBareName(const std::string& name) {
    return name.find_first_of("\\/:") == std::string::npos;
}

namespace {
std::string inDirectory(std::string dir, const std::string& name) {
    // The headless backend gives a POSIX directory; keep its separator.
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += dir.front() == '/' ? '/' : '\\';
    return dir + name;
}

std::string userDirectory(IOperatingSystem& os) {
    const std::string appData = os.UserDataDirectory();
    return appData.empty() ? appData : inDirectory(appData, "Tolvek");
}
}  // namespace

std::string UserProfilePath(IOperatingSystem& os, const std::string& name) {
    const std::string dir = userDirectory(os);
    return dir.empty() ? dir : inDirectory(dir, name);
}

std::string ResolveProfilePath(IOperatingSystem& os, const std::string& name) {
    if (!IsBareName(name)) return name;
    const std::string own = UserProfilePath(os, name);
    if (!own.empty() && os.FileExists(own)) return own;
    return inDirectory(os.WindowsDirectory(), name);
}

namespace {
int shareDepth = 0;
std::shared_ptr<const TProfileData> sharedParse;
}  // namespace

TIniFile::ShareParses::ShareParses() { ++shareDepth; }

TIniFile::ShareParses::~ShareParses() {
    if (--shareDepth == 0) sharedParse.reset();
}

TIniFile::TIniFile(std::string fileName) : TIniFile(Application->OS(), std::move(fileName)) {}

TIniFile::TIniFile(IOperatingSystem& os, std::string fileName)
    : os_(os), fileName_(std::move(fileName)), path_(ResolveProfilePath(os_, fileName_)) {
    auto bytes = os_.ReadFile(path_);
    if (!bytes) {
        data_ = std::make_shared<TProfileData>(os_.AnsiCodePage());
    } else if (shareDepth > 0 && sharedParse && sharedParse->SameSource(*bytes)) {
        data_ = sharedParse;
    } else {
        data_ = std::make_shared<TProfileData>(TProfileData::Parse(std::move(*bytes), os_.AnsiCodePage()));
        if (shareDepth > 0) sharedParse = data_;
    }
}

TProfileData& TIniFile::writable() {
    if (data_.use_count() > 1) data_ = std::make_shared<TProfileData>(*data_);
    // Every parse is made as a modifiable object; only the handle is const.
    return const_cast<TProfileData&>(*data_);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    return data_->ReadString(section, key, def);
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const {
    return StrToIntDef(ReadString(section, key, ""), def);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    // The bytes are the cheap way back: copying a parsed file of a quarter of a
    // million keys on every write would cost more than the write itself.
    TProfileData& data = writable();
    std::string before = data.Serialize();
    data.Write(section, key, value);
    try {
        const std::string bytes = data.Serialize();
        try {
            os_.ReplaceFile(path_, bytes);
        } catch (const EWriteDenied&) {
            // A standard user may not write the Windows directory: the file
            // moves to the user's own folder, which is read from then on.
            const std::string own = UserProfilePath(os_, fileName_);
            if (!IsBareName(fileName_) || own.empty() || own == path_ || !os_.CreateDir(userDirectory(os_))) throw;
            os_.ReplaceFile(own, bytes);
            path_ = own;
        }
    } catch (const std::exception&) {
        data = TProfileData::Parse(std::move(before), os_.AnsiCodePage());
        throw EIniFileException("Unable to write to " + fileName_);
    }
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}
