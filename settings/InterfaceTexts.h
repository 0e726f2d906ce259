#pragma once

// The interface texts: every caption, tool tip and message that a language file can replace,
// named by key in the order of the file's text lines. A language file fills them; until one is
// loaded each holds its built-in English. Texts that another part of the program shows later
// (messages, the no-picture text) are read from here when they are needed, so a language chosen
// while the program runs is used from then on.

#include <QString>

#include <array>
#include <cstddef>

namespace oculet {

enum class Text : int {
    Language = 1,
    English, Spanish, German, French, Dutch,
    ScreenCapture,
    Options,
    CaptureArea, // "EasyPal" in it stands for the current source program's name
    ProgressArea, SignalMeterArea, Aux1Area, Aux2Area, LastReceivedItem, TextOptions, UtcClockItem,
    WebcamSetup, // followed by four blanks and the version text in the options menu
    Help,
    CamMode,
    BorderButton, BrowseButton, ClockFontButton, ClockColourButton, FontButton, ColourButton,
    BackColourButton,
    FtpAddress, FtpUser, FtpPassword, FtpFolder, FtpFileName,
    LastRxTip, SignalMeterTip, Aux1Tip, Aux2Tip, ClockTip, FixedTextTip, ScrollTextTip,
    LastRxOn, ShowUtcClock, ShowLocalClock, ShowScrollingText, ShowFixedText, Transparent, TextFromFile,
    UserFolder,
    Continuous,
    EveryMinute,
    FtpUpload,
    WebcamMode,
    Close,
    FolderWord, // follows the source program's folder name: "EasyPal folder"
    EditorHelp, EditorHelpMore, EditorLeft, EditorTop, EditorWidth, EditorHeight, EditorArea,
    EditorSignalMeter, EditorSignalMeterOn, EditorAux1On, EditorAux2On, EditorProgressOn,
    ScreenRegionArea,
    UploadWhenOff,
    WrongVersion,
    FileMissing,
    Connecting,
    Reconnecting,
    Closing,
    NoPicture,
    UpdateQuestion,
    UpdateQuestionMore,
    // Texts added since: a file of an earlier version stops before them and they keep their
    // English; earlier versions read only the first 74 lines of a newer file.
    StartAtLogin,
    LiveView, LiveViewOn, LiveViewPort, LiveViewLan, LiveViewPassword, LiveViewPortTaken, LiveViewFailed,
    LiveViewViewers,
    // The publishing state on the menu bar and the trust button's tip.
    StatusConnecting,
    StatusConnected,
    StatusRetrying, // "%1" stands for the seconds
    StatusLoginRefused,
    StatusUntrusted,
    TrustKeyTip, // "%1" stands for the host key
    UploadInterval,
};

// Every language file has at least these.
inline constexpr int kRequiredTextCount = 74;
static_assert(static_cast<int>(Text::UpdateQuestionMore) == kRequiredTextCount);
inline constexpr int kTextCount = static_cast<int>(Text::UploadInterval);

class InterfaceTexts {
public:
    InterfaceTexts();

    const QString& operator[](Text key) const { return texts_[index(key)]; }
    void set(Text key, QString text) { texts_[index(key)] = std::move(text); }

private:
    static std::size_t index(Text key) { return static_cast<std::size_t>(key) - 1; }

    std::array<QString, kTextCount> texts_;
};

} // namespace oculet
