// TKestrelMesh: file transfer over TCP. The sender connects to the receiver's file-transfer
// port and sends one header line; the receiver answers "KMSFILESTART:OK", takes exactly the
// announced number of bytes and answers "KMSFILEEND:"; the sender then closes.
//
// Event handlers may end any transfer, so a record is looked up again by socket and serial
// after each of them. Nothing here waits: a line the socket does not take waits for its Write
// report, and a file goes out a few chunks per turn, the next turn posted as a Write report so
// that everything else the program has to do comes in between. A transfer's file stays open
// from its first chunk until the transfer ends; chunk sizes and opens are invisible on the wire.
#include <algorithm>
#include <cstring>

#include "KestrelMesh.h"
#include "OpenFile.h"

namespace kiv {

using mesh::GetField;
using mesh::MeshBackend;

namespace {

constexpr const char* kCrLf = "\r\n";

// The received bytes as text: up to the first 0x00.
std::string TextOf(const char* data, std::size_t size)
{
    const void* zero = std::memchr(data, 0, size);
    return std::string(data, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - data) : size);
}

// A size field: decimal digits only; anything else, or a value beyond 2^62, counts as 0.
std::int64_t ParseSize(const std::string& text)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return std::stoll(text);
}

bool SafeHeaderField(const std::string& text)
{
    return text.find("&|") == std::string::npos && text.find(file_tags::HeaderEnd) == std::string::npos &&
           text.find_first_of("\r\n") == std::string::npos;
}

}  // namespace

void TKestrelMesh::AddFileRecv(TransferSocket socket)
{
    auto record = std::make_unique<TKMS_FileRecv>();
    record->SocketNo = socket;
    record->Serial = nextSerial_++;
    fileRecvs_.push_back(std::move(record));
}

TKMS_FileRecv* TKestrelMesh::FindFileRecv(TransferSocket socket)
{
    for (auto& r : fileRecvs_)
        if (r->SocketNo == socket)
            return r.get();
    return nullptr;
}

TKMS_FileSend* TKestrelMesh::FindFileSend(TransferSocket socket)
{
    for (auto& r : fileSends_)
        if (r->SocketNo == socket)
            return r.get();
    return nullptr;
}

char* TKestrelMesh::TransferBuffer(std::size_t size)
{
    if (transferBuffer_.size() < size)
        transferBuffer_.resize(size);
    return transferBuffer_.data();
}

void TKestrelMesh::CloseTransfer(TransferSocket socket)
{
    // Only a socket that still has its record is closed: one closed earlier (by an event's
    // handler) may already carry the number of a new connection.
    bool found = false;
    auto drop = [&](auto& list) {
        for (auto it = list.begin(); it != list.end(); ++it)
            if ((*it)->SocketNo == socket) {
                transferFiles_.erase((*it)->Serial);
                list.erase(it);
                found = true;
                return;
            }
    };
    drop(fileSends_);
    drop(fileRecvs_);
    if (found)
        backend_.CloseTcp(socket);
}

void TKestrelMesh::RaiseSendError(const TKMS_FileSend& record, int error)
{
    if (!OnErrorFileSend)
        return;
    const TKMS_FileSend copy = record;
    OnErrorFileSend(copy.SocketNo, GetField(copy.PeerInfo, 0), GetField(copy.PeerInfo, 1),
                    GetField(copy.PeerInfo, 2), copy.FileName, error);
}

void TKestrelMesh::RaiseRecvError(const TKMS_FileRecv& record, int error)
{
    if (!OnErrorFileRecv)
        return;
    const TKMS_FileRecv copy = record;
    OnErrorFileRecv(copy.SocketNo, GetField(copy.PeerInfo, 0), GetField(copy.PeerInfo, 1),
                    GetField(copy.PeerInfo, 2), copy.FileName, error);
}

void TKestrelMesh::AbortTransfers(int sendError, int recvError)
{
    // Taken out of the lists first, so that a handler that logs out again finds nothing.
    auto sends = std::move(fileSends_);
    auto recvs = std::move(fileRecvs_);
    fileSends_.clear();
    fileRecvs_.clear();
    transferFiles_.clear();
    for (auto& record : sends) {
        backend_.CloseTcp(record->SocketNo);
        RaiseSendError(*record, sendError);
    }
    for (auto& record : recvs) {
        backend_.CloseTcp(record->SocketNo);
        if (record->State == file_recv_state::Data)
            RemoveFile(record->FileName);  // never leave a partial file behind
        RaiseRecvError(*record, recvError);
    }
}

std::string* TKestrelMesh::PendingOf(TransferSocket socket)
{
    if (TKMS_FileSend* send = FindFileSend(socket))
        return &send->Pending;
    if (TKMS_FileRecv* recv = FindFileRecv(socket))
        return &recv->Pending;
    return nullptr;
}

bool TKestrelMesh::SendLine(TransferSocket socket, const std::string& text)
{
    std::string* pending = PendingOf(socket);
    if (!pending)
        return false;
    pending->append(text).append(kCrLf);
    if (pending->size() > kMaxTransferLine)
        return false;
    return SendPending(socket);
}

bool TKestrelMesh::SendPending(TransferSocket socket)
{
    std::string* pending = PendingOf(socket);
    while (pending && !pending->empty()) {
        const auto sent = backend_.SendTcp(socket, pending->data(), pending->size());
        if (sent.result == MeshBackend::SendResult::Failed)
            return false;
        if (sent.result == MeshBackend::SendResult::WouldBlock)
            return true;  // the rest goes at the socket's next Write report
        pending->erase(0, sent.bytes);
    }
    return true;
}

TransferSocket TKestrelMesh::SendFile(const std::string& machineName, const std::string& discrimination,
                                      const std::string& fileName, const std::string& comment,
                                      const std::string& sendName)
{
    if (!started_)
        return MeshBackend::kNoSocket;
    const TKMS_LoginUserInformation* peer = nullptr;
    for (int i = 0; i < loginCount_ && !peer; ++i) {
        const auto& p = loginUsers_[static_cast<std::size_t>(i)];
        if (p.MachineName == machineName && (discrimination.empty() || p.Discrimination == discrimination) &&
            p.FTPPort > 0 && p.FTPPort < 65536)
            peer = &p;
    }
    const std::string name = sendName.empty() ? PathFileName(fileName) : sendName;
    const auto size = FileSize(fileName);
    const auto address = peer ? mesh::InetAddr(peer->IPAddress) : std::nullopt;
    if (!peer || !address || !size || name.empty() || !SafeHeaderField(name) || !SafeHeaderField(comment))
        return MeshBackend::kNoSocket;
    const TransferSocket socket = backend_.ConnectTcp(*address, peer->FTPPort);
    if (socket == MeshBackend::kNoSocket)
        return socket;
    auto record = std::make_unique<TKMS_FileSend>();
    record->SocketNo = socket;
    record->PeerInfo = peer->HandleName + "&|" + peer->MachineName + "&|" + peer->Discrimination;
    record->FileName = fileName;
    record->FileByte = *size;
    record->Comment = comment;
    record->SendName = name;
    record->Serial = nextSerial_++;
    fileSends_.push_back(std::move(record));
    return socket;
}

void TKestrelMesh::SocketNotify(TransferSocket socket, int event, MeshBackend::TcpError error)
{
    if (socket == MeshBackend::kNoSocket)
        return;
    if (socket == ftpSocketNo_) {
        if (event & MeshBackend::Accept) {
            const TransferSocket accepted = backend_.AcceptTcp(socket);
            if (accepted != MeshBackend::kNoSocket)
                AddFileRecv(accepted);
        }
        return;
    }
    if (event & MeshBackend::Connect) {
        TKMS_FileSend* record = FindFileSend(socket);
        if (!record)
            return;
        if (error == MeshBackend::TcpError::None) {
            const std::string header = std::string(file_tags::Start) + "&|" + handleName_ + "&|" + machineName_ +
                                       "&|" + discrimination_ + "&|" + record->SendName + "&|" +
                                       std::to_string(record->FileByte) + "&|" + record->Comment + "&|" +
                                       file_tags::HeaderEnd;
            if (!SendLine(socket, header))
                CloseTransfer(socket);
        } else {
            const bool refused =
                error == MeshBackend::TcpError::Refused || error == MeshBackend::TcpError::TimedOut;
            const TKMS_FileSend copy = *record;
            CloseTransfer(socket);
            RaiseSendError(copy, refused ? file_send_error::RefusedOrTimedOut : file_send_error::ConnectionFailed);
        }
        return;
    }
    if (event & MeshBackend::Write) {
        // Lines that wait go first; the file's bytes follow them.
        if (!SendPending(socket)) {
            CloseTransfer(socket);
            return;
        }
        const std::string* pending = PendingOf(socket);
        const TKMS_FileSend* record = FindFileSend(socket);
        if (record && pending->empty() && record->State == file_send_state::Sending && !SendFileData(socket))
            CloseTransfer(socket);
        return;
    }
    if (event & MeshBackend::Read) {
        if (!ReceiveTransferData(socket))
            CloseTransfer(socket);
        return;
    }
    if (event & MeshBackend::Close) {
        if (const TKMS_FileSend* record = FindFileSend(socket)) {
            const TKMS_FileSend copy = *record;
            CloseTransfer(socket);
            RaiseSendError(copy, file_send_error::ReceiverClosed);
            return;
        }
        TKMS_FileRecv* record = FindFileRecv(socket);
        if (!record)
            return;
        // Data may still wait behind the close: take it before judging the file.
        const std::uint64_t serial = record->Serial;
        for (int round = 0; round < 1024 && record->State == file_recv_state::Data; ++round) {
            lastRecvBytes_ = 0;
            if (!ReceiveTransferData(socket)) {
                CloseTransfer(socket);
                return;
            }
            record = FindFileRecv(socket);
            if (!record || record->Serial != serial)
                return;
            if (lastRecvBytes_ == 0)
                break;
        }
        const TKMS_FileRecv copy = *record;
        CloseTransfer(socket);
        if (copy.State != file_recv_state::Complete) {
            if (!copy.FileName.empty())
                RemoveFile(copy.FileName);
            RaiseRecvError(copy, file_recv_error::SenderClosed);
        } else if (OnFileRecvEnd) {
            OnFileRecvEnd(copy.SocketNo, GetField(copy.PeerInfo, 0), GetField(copy.PeerInfo, 1),
                          GetField(copy.PeerInfo, 2), copy.FileName);
        }
    }
}

bool TKestrelMesh::ReceiveTransferData(TransferSocket socket)
{
    if (!FindFileSend(socket) && !FindFileRecv(socket))
        return true;  // ended already; the socket is closed
    // The buffer is shared by all transfers: nothing reads it after an event.
    const std::size_t capacity = static_cast<std::size_t>(std::max(ftpRecvByte_, 1));
    char* const buffer = TransferBuffer(capacity);
    const auto got = backend_.RecvTcp(socket, buffer, capacity);
    if (got.result == MeshBackend::SendResult::WouldBlock)
        return true;  // a report without data
    if (got.result == MeshBackend::SendResult::Failed)
        return false;
    lastRecvBytes_ = got.bytes;
    if (got.bytes == 0)
        return true;  // the peer has closed: its Close report follows

    if (FindFileSend(socket))
        return ReceiveAnswer(socket, TextOf(buffer, got.bytes));
    const TKMS_FileRecv* record = FindFileRecv(socket);
    if (!record)
        return true;
    switch (record->State) {
    case file_recv_state::Header:
        return ReceiveHeader(socket, TextOf(buffer, got.bytes));
    case file_recv_state::Data:
        return ReceiveFileData(socket, buffer, got.bytes);
    default:
        return true;  // complete: anything more is ignored
    }
}

bool TKestrelMesh::ReceiveAnswer(TransferSocket socket, const std::string& text)
{
    TKMS_FileSend* record = FindFileSend(socket);
    record->Answer += text;
    if (record->Answer.find(std::string(file_tags::End) + kCrLf) != std::string::npos) {
        backend_.StopNotify(socket);
        const TKMS_FileSend copy = *record;
        CloseTransfer(socket);
        if (OnFileSendEnd)
            OnFileSendEnd(copy.SocketNo, GetField(copy.PeerInfo, 0), GetField(copy.PeerInfo, 1),
                          GetField(copy.PeerInfo, 2), copy.FileName);
    } else if (record->State == file_send_state::Starting &&
               record->Answer.find(std::string(file_tags::StartOk) + kCrLf) != std::string::npos) {
        const TKMS_FileSend copy = *record;
        if (OnFileSendStart)
            OnFileSendStart(copy.SocketNo, GetField(copy.PeerInfo, 0), GetField(copy.PeerInfo, 1),
                            GetField(copy.PeerInfo, 2), copy.FileName);
        record = FindFileSend(socket);
        if (!record || record->Serial != copy.Serial)
            return true;
        record->Answer.clear();
        record->State = file_send_state::Sending;
        backend_.PostWrite(socket);
    } else if (record->Answer.size() > kMaxTransferLine) {
        return false;
    }
    return true;
}

bool TKestrelMesh::ReceiveHeader(TransferSocket socket, const std::string& text)
{
    TKMS_FileRecv* record = FindFileRecv(socket);
    record->Header += text;
    if (record->Header.find(file_tags::HeaderEnd) == std::string::npos)
        return record->Header.size() <= kMaxTransferLine;
    if (!OnFileRecvStart)
        return false;
    const std::string header = record->Header;
    record->PeerInfo = GetField(header, 1) + "&|" + GetField(header, 2) + "&|" + GetField(header, 3) + "&|";
    record->FileByte = ParseSize(GetField(header, 5));
    if (record->FileByte == 0)
        return false;
    const std::uint64_t serial = record->Serial;
    std::string fileName = GetField(header, 4);
    bool cancel = false;
    OnFileRecvStart(socket, GetField(header, 1), GetField(header, 2), GetField(header, 3), fileName,
                    record->FileByte, GetField(header, 6), cancel);
    record = FindFileRecv(socket);
    if (cancel || !record || record->Serial != serial)
        return false;
    record->FileName = fileName;
    record->RecvSize = 0;
    record->State = file_recv_state::Data;
    RemoveFile(fileName);
    return SendLine(socket, file_tags::StartOk);
}

bool TKestrelMesh::ReceiveFileData(TransferSocket socket, const char* data, std::size_t size)
{
    TKMS_FileRecv* record = FindFileRecv(socket);
    // The file stays open from the first chunk to the last; a failure closes it before the
    // partial file is deleted, unless its name has meanwhile come to mean another file: that
    // one is not ours to delete.
    OpenFile& file = transferFiles_[record->Serial];
    auto fail = [&](bool deleteName) {
        transferFiles_.erase(record->Serial);
        if (deleteName)
            RemoveFile(record->FileName);
        RaiseRecvError(*record, file_recv_error::FileUnwritable);
        return false;
    };
    if (!file.IsOpen())
        file = OpenFile::ForAppend(record->FileName);
    if (!file.IsOpen())
        return fail(true);
    // Between chunks the file may have been deleted, replaced or written by someone else: the
    // name must still lead to the open file, and that must hold exactly what was received.
    if (!file.IsAt(record->FileName))
        return fail(false);
    const auto before = file.Size();
    if (!before || *before != record->RecvSize)
        return fail(true);
    // Bytes beyond the announced size are not the file's.
    const std::size_t take = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(size), record->FileByte - record->RecvSize));
    if (!file.Append(data, take))
        return fail(true);
    const auto after = file.Size();
    if (!after)
        return fail(true);
    record->RecvSize = *after;
    if (record->RecvSize == record->FileByte)
        transferFiles_.erase(record->Serial);
    const TKMS_FileRecv copy = *record;
    if (OnFileRecving)
        OnFileRecving(socket, GetField(copy.PeerInfo, 0), GetField(copy.PeerInfo, 1), GetField(copy.PeerInfo, 2),
                      copy.FileName, copy.RecvSize, copy.FileByte);
    record = FindFileRecv(socket);
    if (!record || record->Serial != copy.Serial)
        return true;
    if (record->RecvSize == record->FileByte) {
        record->State = file_recv_state::Complete;
        return SendLine(socket, file_tags::End);
    }
    return true;
}

bool TKestrelMesh::SendFileData(TransferSocket socket)
{
    TKMS_FileSend* record = FindFileSend(socket);
    if (!record)
        return true;
    const std::uint64_t serial = record->Serial;
    int chunkBytes = std::max(ftpSendByte_, 1);
    if (maxUdpSize_ > 0)
        chunkBytes = std::min(chunkBytes, maxUdpSize_);
    for (int chunk = 0;; ++chunk) {
        if (chunk == kTransferChunksPerTurn) {
            // The rest in a later turn: the program's other work comes first.
            backend_.PostWrite(socket);
            return true;
        }
        OpenFile& file = transferFiles_[serial];
        if (!file.IsOpen())
            file = OpenFile::ForRead(record->FileName);
        if (!file.IsOpen()) {
            RaiseSendError(*record, file_send_error::FileUnreadable);
            return false;
        }
        const std::int64_t left = record->FileByte - record->SendSize;
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(chunkBytes, left));
        char* const buffer = TransferBuffer(static_cast<std::size_t>(chunkBytes));
        const auto got = want > 0 ? file.ReadAt(record->SendSize, buffer, want) : std::nullopt;
        if (!got || *got == 0) {
            // The file has become shorter than announced (or unreadable): the transfer
            // cannot complete, so it ends here instead of trying again forever.
            RaiseSendError(*record, file_send_error::FileUnreadable);
            return false;
        }
        const auto sent = backend_.SendTcp(socket, buffer, *got);
        if (sent.result == MeshBackend::SendResult::WouldBlock)
            return true;  // the next Write report resumes at SendSize
        if (sent.result == MeshBackend::SendResult::Failed) {
            // The connection broke under the data: the receiver closed or reset it (its close
            // report may come after this send).
            RaiseSendError(*record, file_send_error::ReceiverClosed);
            return false;
        }
        record->SendSize += static_cast<std::int64_t>(sent.bytes);
        const TKMS_FileSend copy = *record;
        if (OnFileSending)
            OnFileSending(socket, GetField(copy.PeerInfo, 0), GetField(copy.PeerInfo, 1),
                          GetField(copy.PeerInfo, 2), copy.FileName, copy.SendSize, copy.FileByte);
        record = FindFileSend(socket);
        if (!record || record->Serial != serial)
            return false;
        if (record->SendSize >= record->FileByte) {
            record->State = file_send_state::AllSent;
            transferFiles_.erase(serial);
            return true;  // the receiver's end line follows
        }
    }
}

}  // namespace kiv
