// The main form and Kiv.INI: the read at start (which waits while the file exists but cannot
// be read) and what a save tells the log and the user.
#include "LogTexts.h"
#include "MainUnit.h"
#include "StatusTexts.h"
#include "StatusLayout.h"

namespace kiv {

namespace {

// How long the start reads a held Kiv.INI again by itself before it asks the user.
constexpr std::uint32_t kSettingsWaitMs = 30000;

std::string KeyList(const std::vector<std::string>& keys)
{
    std::string list;
    for (const auto& key : keys)
        list += (list.empty() ? "" : ", ") + key;
    return list;
}

}  // namespace

bool TMainForm::ReadSettings()
{
    const std::string& path = ports_.VSS.DefaultIniFilePath;
    const std::string shown = ports_.App.PathText(Utf8Path(path)).Bytes;
    const FileRecovery recovery = RecoverFileBytes(path, *ports_.VSS.Files);
    TSettings read;
    StringList allowed;
    const FileError error =
        LoadSettings(ports_.VSS, ports_.Ras.EntryName(0), ports_.VSS.UseSetLayeredWindow(), read, allowed);
    if (error && error.Kind != FileFailure::NotFound) {
        // Nothing is written over the file meanwhile: nothing that could save has started.
        if (!settingsError_) {
            Log(kLogSettings,
                "Kiv.INIを読み込めません（" + FileErrorText(error) + "）。読み込めるまで起動を待ちます。");
            ShowStatusMessage(
                {std::string(kStatusSettingsWaiting) + "\r" + shown + "\r" + FileErrorText(error), kActionNone});
        }
        settingsError_ = error;
        return false;
    }
    Settings = stored_ = read;
    AllowedComputers = storedComputers_ = allowed;
    ports_.Log.SetEnabled(Settings.WriteLog);
    Log(kLogProgram, kLogStarted);
    if (recovery == FileRecovery::Restored) {
        Log(kLogSettings, kStatusSettingsRestored);
        ShowStatus(kStatusSettingsRestored);
    } else if (recovery == FileRecovery::CopyKept) {
        Log(kLogSettings, kStatusSettingsCopyKept);
        ShowStatus(kStatusSettingsCopyKept);
    }
    if (error) {
        Log(kLogSettings, "Kiv.INIがないので、既定の設定で起動します。");
    } else {
        const std::uint32_t waited = TickElapsed(ports_.Clock.TickCount(), settingsWaitSince_);
        Log(kLogSettings, settingsError_
                              ? "Kiv.INIを読み込みました（" + std::to_string(waited / 1000) + "秒待ちました）。"
                              : std::string("Kiv.INIを読み込みました。"));
        if (ports_.VSS.Files->ReadOnly(Utf8Path(path)))
            Log(kLogSettings, "Kiv.INIは読み取り専用です。設定を変えても保存しません。");
    }
    return true;
}

void TMainForm::SettingsRetry()
{
    if (ReadSettings()) {
        FinishCreate();
        return;
    }
    if (TickElapsed(ports_.Clock.TickCount(), settingsWaitSince_) < kSettingsWaitMs)
        return;
    // No tick while the user decides.
    ports_.tmSchedule.SetEnabled(false);
    const std::string text = std::string(kSettingsUnreadableQuestion) + "\r" +
                             ports_.App.PathText(Utf8Path(ports_.VSS.DefaultIniFilePath)).Bytes + "\r" +
                             FileErrorText(settingsError_) + "\r\r" + kSettingsUnreadableChoices;
    switch (ports_.App.MessageBox(SjisText(text), ports_.App.Title(), kMbAbortRetryIgnore | kMbIconExclamation)) {
    case kIdIgnore:
        Log(kLogSettings, "ユーザーの指示で、既定の設定で起動します。Kiv.INIは設定を保存するまで変わりません。");
        LoadSettingsFrom(IniText(), ports_.Ras.EntryName(0), ports_.VSS.UseSetLayeredWindow(), Settings,
                         AllowedComputers);
        // What the file holds is not known: every key counts as to be stored.
        stored_ = TSettings();
        stored_.Target.clear();
        storedComputers_.clear();
        ports_.Log.SetEnabled(Settings.WriteLog);
        Log(kLogProgram, kLogStarted);
        FinishCreate();
        return;
    case kIdAbort:
        Log(kLogSettings, "ユーザーの指示で、Kivを終了します。");
        ports_.App.Terminate();
        return;
    default:
        Log(kLogSettings, "ユーザーの指示で、Kiv.INIをもう一度読み込みます。");
        settingsWaitSince_ = ports_.Clock.TickCount();
        ports_.tmSchedule.SetEnabled(true);
        return;
    }
}

std::optional<std::string> TMainForm::SettingsSaved(const IniWrite& result, bool onlyTarget)
{
    std::vector<std::string> changed = ChangedSettingKeys(stored_, storedComputers_, Settings, AllowedComputers);
    if (onlyTarget)
        changed = stored_.Target == Settings.Target ? std::vector<std::string>{}
                                                    : std::vector<std::string>{SettingRowOf(&TSettings::Target).Key};
    const std::string keys = KeyList(changed);
    if (!result.Error) {
        if (onlyTarget) {
            stored_.Target = Settings.Target;
        } else {
            stored_ = Settings;
            storedComputers_ = AllowedComputers;
        }
        Log(kLogSettings, keys.empty() ? std::string("Kiv.INIの設定は変わっていません。")
                                       : "Kiv.INIに保存しました（" + keys + "）。");
        return std::nullopt;
    }
    const std::string reason = FileErrorText(result.Error);
    Log(kLogSettings, "Kiv.INIに保存できませんでした: " + reason + "（" + keys + "）。" + kSettingsKept);
    return std::string(kSettingsSaveFailed) + "\r" +
           ports_.App.PathText(Utf8Path(ports_.VSS.DefaultIniFilePath)).Bytes + "\r" + reason + "\r" + kSettingsKept;
}

}  // namespace kiv
