// The configuration accessor: one opening parses the file once; every write
// replaces the file atomically, so a failed write leaves it as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/os.h"
#include "platform/profile.h"
#include "platform/sysutils.h"

// "Unable to write to %s"
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

class TIniFile {
public:
    // While one of these lives, accessors opened on the same unchanged bytes
    // share one parse: start-up opens the configuration twice in a row, and a
    // large file costs more to parse than to read.
    class ShareParses {
    public:
        ShareParses();
        ~ShareParses();
        ShareParses(const ShareParses&) = delete;
        ShareParses& operator=(const ShareParses&) = delete;
    };

    // `fileName` as given; a bare name is looked for in the Windows directory
    // or in the user's own copy (ResolveProfilePath), and moves to that copy
    // when the Windows directory refuses a write for want of rights.
    explicit TIniFile(std::string fileName);  // uses the application's OS services
    TIniFile(IOperatingSystem& os, std::string fileName);

    const std::string& FileName() const { return fileName_; }
    const std::string& Path() const { return path_; }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // Optional blanks, sign, decimal or hex after "$" or "0x"; anything else,
    // an empty value or a missing key reads as `def`.
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);

private:
    IOperatingSystem& os_;
    std::string fileName_;
    std::string path_;
    TProfileData& writable();  // a private copy once the parse is shared

    std::shared_ptr<const TProfileData> data_;
};
