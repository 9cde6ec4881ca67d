// What the application and the tool agree on: where the tool keeps the setup, the names of
// its jobs and state files, the line that reports a result, the sync interval. Plain C++, so
// that both programs include this one header.
#pragma once

#include <string>

namespace contract {

inline constexpr const char* kLabel = "com.tessavel.connect";
inline constexpr const char* kSetTimeLabel = "com.tessavel.connect.settime";
// Self-test runs label their jobs apart, so that a test never touches a real setup.
inline constexpr const char* kSelfTestSuffix = ".selftest";
inline constexpr const char* kLaunchDaemonsDir = "/Library/LaunchDaemons";
inline constexpr const char* kStateDir = "/Library/Application Support/Tessavel Veridir";
inline constexpr const char* kTestRootVariable = "TESSAVEL_CONNECT_TEST_ROOT";

// Files of the state directory.
inline constexpr const char* kBeforeSetupFile = "before-setup.plist";
inline constexpr const char* kSyncNowFile = "sync-now";
inline constexpr const char* kLastSyncFile = "last-sync";
inline constexpr const char* kSetTimeRequestFile = "set-time-request";
inline constexpr const char* kSetTimeResultFile = "set-time-result";
inline constexpr const char* kSetTimeGrantFile = "set-time-grant.plist";

// The job's argument before the server's address.
inline constexpr const char* kServerOption = "--server";

// The tool's last line on standard output: the tag, a space and one of the two results.
inline constexpr const char* kResultTag = "tessavel-connect-result:";
inline constexpr const char* kResultSynced = "synced";
inline constexpr const char* kResultNoAnswer = "no-answer";

inline constexpr int kSyncIntervalSeconds = 1800;
// Where a Mac's network time points when nobody changed it.
inline constexpr const char* kPlatformDefaultTimeServer = "time.apple.com";

// A sync interval as people say it: "30 minutes", "1 minute", "61 seconds".
inline std::string intervalText(long long seconds)
{
    if (seconds % 60 != 0) return std::to_string(seconds) + " seconds";
    const long long minutes = seconds / 60;
    return std::to_string(minutes) + " minute" + (minutes == 1 ? "" : "s");
}

} // namespace contract
