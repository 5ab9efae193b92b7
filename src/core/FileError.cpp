#include "FileError.h"

namespace kiv {

std::string FileErrorText(const FileError& error)
{
    const char* reason = "ファイルを書き込めません";
    switch (error.Kind) {
    case FileFailure::None: return std::string();
    case FileFailure::AccessDenied: reason = "書き込みが許可されていません"; break;
    case FileFailure::ReadOnly: reason = "ファイルが読み取り専用です"; break;
    case FileFailure::InUse: reason = "ほかのプログラムがファイルを使用中です"; break;
    case FileFailure::DiskFull: reason = "ディスクの空き容量が足りません"; break;
    case FileFailure::NotFound: reason = "ファイルまたはフォルダが見つかりません"; break;
    case FileFailure::BadValue: reason = "ファイルに書けない文字を含む値があります"; break;
    case FileFailure::Other: break;
    }
    if (error.SystemCode == 0)
        return reason;
    return std::string(reason) + " (エラー " + std::to_string(error.SystemCode) + ")";
}

}  // namespace kiv
