#include "ErrorTexts.h"

namespace rassim {

namespace {

// The codes of the service that a scenario is likely to name, and those the simulator itself
// returns (87 and 6 are the system's, which the service passes on with their own texts).
const ErrorText kTexts[] = {
    {6, L"ハンドルが無効です。", L"The handle is not valid."},
    {87, L"パラメータが間違っています。", L"A parameter is not valid."},
    {602, L"ポートは既に開かれています。", L"The port is already open."},
    {603, L"バッファが小さすぎます。", L"The buffer is too small."},
    {605, L"電話帳を開けません。", L"The phone book cannot be opened."},
    {608, L"デバイスが存在しません。", L"The device does not exist."},
    {619, L"ポートが切断されました。", L"The port was disconnected."},
    {623, L"電話帳にこの接続の項目が見つかりません。", L"The phone book has no entry for this connection."},
    {628, L"接続が閉じられました。", L"The connection was closed."},
    {629, L"接続先のコンピュータが接続を切りました。", L"The remote computer closed the connection."},
    {631, L"ユーザーが接続を切りました。", L"The user ended the connection."},
    {632, L"構造体のサイズが正しくありません。", L"The size of a structure is not correct."},
    {633, L"モデムまたは接続デバイスは既に使用中か、構成されていません。",
     L"The modem or connection device is already in use or not set up."},
    {638, L"要求が時間内に完了しませんでした。", L"The request did not complete in time."},
    {676, L"回線が話し中です。", L"The line is busy."},
    {677, L"モデムではなく人が応答しました。", L"A person answered instead of a modem."},
    {678, L"接続先のコンピュータが応答しませんでした。", L"The remote computer did not answer."},
    {680, L"ダイヤル トーンがありません。", L"There is no dial tone."},
    {691, L"ユーザー名またはパスワードが認証されませんでした。", L"The user name or password was not accepted."},
    {718, L"接続先からの応答が時間内にありませんでした。", L"The remote computer did not reply in time."},
    {734, L"接続の制御プロトコルが終了しました。", L"The link control protocol ended."},
    {769, L"指定された接続先に到達できません。", L"The destination cannot be reached."},
    {797, L"モデムが見つからないか、使用中です。", L"The modem was not found or is busy."},
};

}  // namespace

const ErrorText* FindErrorText(std::uint32_t code)
{
    for (const ErrorText& text : kTexts)
        if (text.code == code)
            return &text;
    return nullptr;
}

}  // namespace rassim
