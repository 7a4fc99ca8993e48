#pragma once

// Every prompt the wizard plays. Paths are relative to the current folder: the medium is
// started from its root, where its sound folder lies.
namespace Prompt {

// The installation run.
constexpr const char* kStart = "sound\\start.wav";
constexpr const char* kWelcome = "sound\\welcome.wav";
constexpr const char* kCheckDialog = "sound\\checkdialog.wav";
constexpr const char* kRestart = "sound\\restart.wav";
constexpr const char* kNoScreenReader = "sound\\noscreenreder.wav";
constexpr const char* kDriverFailed = "sound\\driver_faild.wav";

// JAWS.
constexpr const char* kJawsSuccess = "sound\\jaws_success.wav";
constexpr const char* kJawsFailed = "sound\\jaws_faild.wav";
constexpr const char* kJawsNoDriver64 = "sound\\jaws_nodriver64.wav";

// Dolphin: SAM, Hal and Supernova.
constexpr const char* kSupernovaNotCopied = "sound\\supernova_notcopy.wav";
constexpr const char* kHalSuccess = "sound\\hal_success.wav";
constexpr const char* kSupernovaSuccess = "sound\\supdernova_success.wav";

// Window-Eyes.
constexpr const char* kWindowEyesSuccess = "sound\\wineyes_success.wav";
constexpr const char* kWindowEyesFailed = "sound\\wineyes_faild.wav";
constexpr const char* kWindowEyesNotInstalled = "sound\\wineyes_faild2.wav";

// NVDA.
constexpr const char* kNvdaSuccess = "sound\\nvda_success.wav";
constexpr const char* kNvdaFailed = "sound\\nvda_faild.wav";
constexpr const char* kNvdaNotCompatible = "sound\\nvda_notcompatible.wav";

// All of them, so the medium can be checked for each one.
constexpr const char* kAll[] = {kStart,
                                kWelcome,
                                kCheckDialog,
                                kRestart,
                                kNoScreenReader,
                                kDriverFailed,
                                kJawsSuccess,
                                kJawsFailed,
                                kJawsNoDriver64,
                                kSupernovaNotCopied,
                                kHalSuccess,
                                kSupernovaSuccess,
                                kWindowEyesSuccess,
                                kWindowEyesFailed,
                                kWindowEyesNotInstalled,
                                kNvdaSuccess,
                                kNvdaFailed,
                                kNvdaNotCompatible};

}  // namespace Prompt
