// The platform's own file search, drive list and short date, so the mask
// follows exactly the rules of FindFirstFileW (8.3 names included).
#include "platform/filesearch.h"

#include "platform/win32/win32.h"

namespace {

struct FindTraits {
    using type = HANDLE;
    static type empty() { return INVALID_HANDLE_VALUE; }
    static void close(type h) { ::FindClose(h); }
};

class Win32Find : public IFileFind {
public:
    Win32Find(HANDLE h, const WIN32_FIND_DATAW& data) : handle_(h), data_(data) { load(); }

    bool Next() override {
        if (!::FindNextFileW(handle_.get(), &data_)) return false;
        load();
        return true;
    }
    const std::string& Name() const override { return name_; }
    std::uint32_t Attr() override { return data_.dwFileAttributes; }
    std::uint32_t ReparseTag() override { return data_.dwReserved0; }
    std::uint64_t Size() override { return static_cast<std::uint64_t>(data_.nFileSizeHigh) << 32 | data_.nFileSizeLow; }
    std::int32_t Time() override {
        FILETIME local{};
        WORD date = 0, time = 0;
        if (!::FileTimeToLocalFileTime(&data_.ftLastWriteTime, &local) ||
            !::FileTimeToDosDateTime(&local, &date, &time))
            return PackDosDateTime(1980, 1, 1, 0, 0, 0);
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(date) << 16 | time);
    }

private:
    void load() { name_ = win32::Narrow(data_.cFileName); }

    win32::THandle<FindTraits> handle_;
    WIN32_FIND_DATAW data_;
    std::string name_;
};

}  // namespace

std::unique_ptr<IFileFind> NativeFindFirst(const std::string& pattern) {
    WIN32_FIND_DATAW data{};
    // Basic information skips the short name, which nothing here shows.
    HANDLE h = ::FindFirstFileExW(win32::LongPattern(pattern).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                  nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32Find>(h, data);
}

std::vector<std::string> NativeLogicalDrives() {
    std::vector<std::string> drives;
    const DWORD mask = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i)
        if (mask & (1u << i)) drives.push_back(std::string(1, static_cast<char>('a' + i)) + ":");
    return drives;
}

std::string NativeFormatShortDate(int year, int month, int day) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    wchar_t text[80];
    const int n = ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, text, 80);
    if (n <= 1) return {};
    return win32::Narrow(std::wstring_view(text, static_cast<std::size_t>(n - 1)));
}
