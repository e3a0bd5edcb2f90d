// Reading a 65535-entry configuration key by key: the platform's
// GetPrivateProfileStringW, one call per key, against our engine (TIniFile,
// which parses the file once), on the same file in the same run.
//
//   profile_bench DIR [STRIDE]
//
// writes DIR\large.ini, reads all 4 x 65535 keys through TIniFile and, from
// the platform, the keys of every STRIDE-th entry (1 = all of them; the
// platform's reader may scan the whole section for each key, so a full run
// can take very long). The sampled entries are evenly spaced, so the first
// call plus the sample time times STRIDE estimates the full run. Both readers
// must agree on every sampled value.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// The platform's headers before the <windows.h> of probe.h, whose macros
// (LoadString, ShellExecute, ...) would rename their members.
#include "platform/inifiles.h"
#include "platform/os.h"
#include "probe.h"

namespace {

constexpr int kEntries = 65535;
const char* const kKeys[] = {"Name", "ProgName", "Param", "ShortCut"};

// The shape of the menu benchmark's configuration.
std::string largeIni() {
    std::string ini = "[ALLINFO]\r\nTotalEntries=65535\r\n[PROGRAMS]\r\n";
    for (int i = 1; i <= kEntries; ++i) {
        std::string n = std::to_string(i);
        ini += "Name" + n + "=Entry " + n + "\r\nProgName" + n + "=C:\\TOOLS\\P" + n + ".EXE\r\nParam" + n +
               "=/x $C:\\WORK\r\nShortCut" + n + "=\r\n";
    }
    return ini;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: profile_bench DIR [STRIDE]\n");
        return 2;
    }
    const int stride = argc == 3 ? std::max(1, _wtoi(argv[2])) : 1;
    const std::wstring path = std::wstring(argv[1]) + L"\\large.ini";
    const std::string bytes = largeIni();
    {
        HANDLE h =
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        const bool ok = h != INVALID_HANDLE_VALUE &&
                        ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size();
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
        if (!ok) {
            std::fprintf(stderr, "profile_bench: cannot write %s\n", narrow(path).c_str());
            return 1;
        }
    }
    std::printf("file: %s, %zu bytes, %d entries, %d keys\n", narrow(path).c_str(), bytes.size(), kEntries,
                4 * kEntries);

    // Ours: one opening (read and parse), then every key.
    std::unique_ptr<IOperatingSystem> os = newOperatingSystem();
    std::vector<std::string> ours;
    ours.reserve(4 * kEntries);
    const double t0 = nowMs();
    TIniFile ini(*os, narrow(path));
    const double t1 = nowMs();
    for (int i = 1; i <= kEntries; ++i)
        for (const char* key : kKeys) ours.push_back(ini.ReadString("PROGRAMS", key + std::to_string(i), "?"));
    const double t2 = nowMs();
    const double oursMs = t2 - t0;
    std::printf("ours: open %.1f ms + %d reads %.1f ms = %.1f ms\n", t1 - t0, 4 * kEntries, t2 - t1, oursMs);
    if (ours[0] != "Entry 1" || ours.back() != "") {
        std::fprintf(stderr, "profile_bench: our engine read unexpected values\n");
        return 1;
    }

    // The platform's. Its first call reads the file and keeps it, so that call
    // is timed alone; then every STRIDE-th entry, the first included.
    wchar_t buffer[2048];
    const double t3 = nowMs();
    ::GetPrivateProfileStringW(L"ALLINFO", L"TotalEntries", L"?", buffer, 2048, path.c_str());
    const double firstMs = nowMs() - t3;
    if (std::wstring(buffer) != L"65535") {
        std::fprintf(stderr, "profile_bench: the platform read TotalEntries as %s\n", narrow(buffer).c_str());
        return 1;
    }
    int sampled = 0, mismatches = 0;
    const double t4 = nowMs();
    for (int i = 1; i <= kEntries; i += stride) {
        for (int k = 0; k < 4; ++k) {
            const std::wstring key = widen(kKeys[k] + std::to_string(i));
            ::GetPrivateProfileStringW(L"PROGRAMS", key.c_str(), L"?", buffer, 2048, path.c_str());
            if (narrow(buffer) != ours[static_cast<std::size_t>((i - 1) * 4 + k)]) ++mismatches;
        }
        ++sampled;
    }
    const double sampleMs = nowMs() - t4;
    const double platformMs = firstMs + sampleMs * static_cast<double>(kEntries) / sampled;
    std::printf(
        "platform: first call (reads the file) %.1f ms; %d of %d entries (every %d), %d reads, %.1f ms "
        "(%.3f ms a read)\n",
        firstMs, sampled, kEntries, stride, 4 * sampled, sampleMs, sampleMs / (4 * sampled));
    std::printf("platform: all %d keys %s%.1f ms\n", 4 * kEntries, stride > 1 ? "(extrapolated) about " : "",
                platformMs);
    std::printf("values that differ between the readers: %d\n", mismatches);

    std::printf("RESULT profile.ours.total_ms=%.1f open_ms=%.1f reads_ms=%.1f keys=%d\n", oursMs, t1 - t0, t2 - t1,
                4 * kEntries);
    std::printf("RESULT profile.platform.first_call_ms=%.1f sample_ms=%.1f sample_reads=%d stride=%d\n", firstMs,
                sampleMs, 4 * sampled, stride);
    std::printf("RESULT profile.platform.all_keys_ms%s=%.1f\n", stride > 1 ? "_extrapolated" : "", platformMs);
    std::printf("RESULT profile.ratio.platform_over_ours=%.0f\n", platformMs / oursMs);
    ::DeleteFileW(path.c_str());
    return mismatches == 0 ? 0 : 1;
}
