// TKestrelMesh: a KestrelMesh peer. Joins the mesh with LOGIN, keeps the table of peers it
// has seen, reassembles and dispatches incoming messages, answers the questions it answers
// by itself, and sends prompts and answers. It talks to the platform only through a
// MeshBackend and runs on one thread: the backend reports to it as its MeshEvents.
// The backend must outlive the component (the destructor stops it, which logs out).
// Events carry no Sender argument: a handler captures the component it belongs to.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "FileTransferCodes.h"
#include "MeshBackend.h"
#include "MeshMessages.h"
#include "MeshWire.h"
#include "MeshPort.h"
#include "OpenFile.h"

namespace kiv {

inline constexpr int kSweepTimerId = 255;
inline constexpr unsigned kSweepIntervalMs = 5000;
inline constexpr std::uint64_t kSlotLifetimeMs = 60000;
inline constexpr int kRecvSlotCount = 20;
// No source holds more of the slots than this; its oldest gives way to its next message.
inline constexpr int kRecvSlotsPerSource = 4;
inline constexpr int kRecvHistoryCount = 11;
inline constexpr int kPeerTableSize = 256;
inline constexpr int kSendHistoryFirst = 1;
inline constexpr int kSendHistoryLast = 254;  // timer 255 is the sweep
// Datagrams that wait for the UDP socket to take them, at most; a message that does not fit
// behind them is not sent.
inline constexpr std::size_t kMaxQueuedDatagrams = 512;
inline constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFFu;
// A transfer header or answer that grows beyond this without its end closes the connection;
// so does a line of ours that waits for the socket to take it.
inline constexpr std::size_t kMaxTransferLine = 64 * 1024;
// Chunks of a file sent in one turn; the next turn is posted as the socket's Write report.
inline constexpr int kTransferChunksPerTurn = 16;

struct TKMS_LoginUserInformation {
    std::string HandleName, MachineName, IPAddress, Discrimination;
    std::int32_t Version = 0;
    bool Absence = false, Menu = false, Chat = false;
    std::int32_t FTPPort = 0;
    std::uint64_t LastHeard = 0;  // order of the latest message from the peer; not on the wire
};

struct TKMS_RecvDataBack {
    std::vector<std::string> Pieces;  // position = sequence byte - 1
    std::string IPAddress;            // empty: slot free
    std::optional<std::uint64_t> LastTime;
    std::size_t Framed = 0;   // framed size its length field gives; 0 until the first piece is in
    std::uint64_t Touched = 0;  // order of its latest datagram
};

struct TKMS_RecvInformation {
    std::string Text, IPAddress;
};

struct TKMS_RecvHistory {
    std::string MessageID, IPAddress;
};

struct TKMS_SendHistory {
    std::string Message, MessageID, MachineName, Discrimination;
};

namespace file_tags {
inline constexpr const char* Start = "KMSFILESTART:";
inline constexpr const char* StartOk = "KMSFILESTART:OK";
inline constexpr const char* End = "KMSFILEEND:";
inline constexpr const char* HeaderEnd = "\\|";  // CR LF as KestrelMesh carries it
}  // namespace file_tags

using TransferSocket = mesh::MeshBackend::TcpSocket;

// One incoming file transfer. State: 0 reading the header, 1 receiving data, 2 file complete.
struct TKMS_FileRecv {
    TransferSocket SocketNo = mesh::MeshBackend::kNoSocket;
    std::int32_t State = 0;
    std::string PeerInfo;  // sender's HandleName, MachineName, Discrimination, each followed by "&|"
    std::string FileName;  // local path being written
    std::int64_t FileByte = 0, RecvSize = 0;
    std::string Header;
    std::uint64_t Serial = 0;  // tells a record from a later one on a reused socket number
    std::string Pending;  // bytes of a line the socket has not taken yet
};

// One outgoing file transfer. State: 0 connecting or awaiting acceptance, 1 sending, 2 all sent.
struct TKMS_FileSend {
    TransferSocket SocketNo = mesh::MeshBackend::kNoSocket;
    std::int32_t State = 0;
    std::string PeerInfo;  // receiver's HandleName, MachineName, Discrimination, "&|" between them
    std::string FileName;  // full local path
    std::int64_t FileByte = 0;
    std::string Comment;
    std::int64_t SendSize = 0;
    std::string Answer;
    std::string SendName;  // the file name the header announces
    std::uint64_t Serial = 0;
    std::string Pending;  // bytes of a line the socket has not taken yet
};

class TKestrelMesh : public MeshPort, public mesh::MeshEvents {
public:
    explicit TKestrelMesh(mesh::MeshBackend& backend, std::uint32_t seed = std::random_device{}());
    ~TKestrelMesh() override;
    TKestrelMesh(const TKestrelMesh&) = delete;
    TKestrelMesh& operator=(const TKestrelMesh&) = delete;

    // MeshPort
    int PortNo() const override { return portNo_; }
    void SetPortNo(int port) override { portNo_ = port; }
    std::string HandleName() const override { return handleName_; }
    void SetHandleName(const std::string& name) override { handleName_ = name; }
    bool Start() override;
    void Stop() override;
    bool Login() override;
    bool Logout() override;
    bool SendInputSelect(const std::string& message, const std::string& selectList, const std::string& selectReturn,
                         const std::string& selectDiscrimination, const std::string& machineName,
                         const std::string& discrimination) override;
    bool SendInputLine(const std::string& message, const std::string& messageLine,
                       const std::string& lineDiscrimination, const std::string& machineName,
                       const std::string& discrimination, bool password) override;
    bool SendInputMessage(const std::string& message, const std::string& machineName,
                          const std::string& discrimination) override;

    // Properties.
    const std::string& Discrimination() const { return discrimination_; }
    void SetDiscrimination(const std::string& v) { discrimination_ = v; }
    std::int32_t Version() const { return version_; }
    void SetVersion(std::int32_t v) { version_ = v; }
    int FTPPortNo() const { return ftpPortNo_; }
    void SetFTPPortNo(int v) { ftpPortNo_ = v; }
    int FTPSendByte() const { return ftpSendByte_; }
    void SetFTPSendByte(int v) { ftpSendByte_ = v; }
    int FTPRecvByte() const { return ftpRecvByte_; }
    void SetFTPRecvByte(int v) { ftpRecvByte_ = v; }
    TransferSocket FTPSocketNo() const { return ftpSocketNo_; }
    const std::string& BroadcastIP() const { return broadcastIP_; }
    void SetBroadcastIP(const std::string& v) { broadcastIP_ = v; }
    bool Security() const { return security_; }
    void SetSecurity(bool v) { security_ = v; }
    bool Absence() const { return absence_; }
    void SetAbsence(bool v) { absence_ = v; }
    const std::string& AbsenceMessage() const { return absenceMessage_; }
    void SetAbsenceMessage(const std::string& v) { absenceMessage_ = v; }
    bool Menu() const { return menu_; }
    void SetMenu(bool v) { menu_ = v; }
    bool Chat() const { return chat_; }
    const std::string& IPAddress() const { return ipAddress_; }
    const std::string& MachineName() const { return machineName_; }
    bool Started() const { return started_; }
    bool LoginStates() const { return loginStates_; }
    int LoginCount() const { return loginCount_; }
    int MaxUdpSize() const { return maxUdpSize_; }
    const TKMS_LoginUserInformation& LoginUser(int index) const { return loginUsers_.at(static_cast<std::size_t>(index)); }
    const TKMS_RecvInformation& Received() const { return received_; }
    // The address the message being handled came from (its datagrams' source), for handlers of
    // the events that pass names rather than a value (a console's prompts); PeerInfo and
    // MeshRequest carry it as Source.
    const std::string& ReceivedAddress() const { return received_.IPAddress; }

    // Transport. A message the socket will not take at once waits, in order, behind the others
    // for the socket to take more (UdpWritable); it counts as sent, unless too much waits.
    bool SendText(const std::string& messageText, const std::optional<std::string>& target = std::nullopt);
    bool SendFragments(const std::string& text, const std::optional<std::string>& address = std::nullopt);
    std::size_t QueuedDatagrams() const { return udpQueue_.size(); }
    // A datagram from the UDP socket; source in the form InetAddr returns.
    void ReceiveDatagram(const char* data, std::size_t size, std::uint32_t source) override;
    // A timer of the backend is due.
    void TimerFired(int id) override;
    // The UDP socket takes datagrams again: those that waited go out, in order.
    void UdpWritable() override;
    // A TCP socket of the file transfer reports one event (MeshBackend::TcpEvent).
    void SocketNotify(TransferSocket socket, int event, mesh::MeshBackend::TcpError error) override;

    // File transfer; local paths are UTF-8 (OpenFile.h). SendFile opens an outgoing transfer of
    // a local file to a peer of the table (by MachineName, and Discrimination unless empty) that
    // announced a file-transfer port. The header announces sendName (Shift-JIS), or the file
    // name of the path as its bytes when it is empty; neither it nor the comment may hold "&|",
    // "\|", CR or LF. Returns the transfer's socket, or kNoSocket when the peer, its port, the
    // file or the connection is missing.
    TransferSocket SendFile(const std::string& machineName, const std::string& discrimination,
                            const std::string& fileName, const std::string& comment,
                            const std::string& sendName = {});
    const std::vector<std::unique_ptr<TKMS_FileRecv>>& FileRecvs() const { return fileRecvs_; }
    const std::vector<std::unique_ptr<TKMS_FileSend>>& FileSends() const { return fileSends_; }

    // Peer table. The peer's Source and source are the address the reporting message came from.
    void UpdatePeer(const PeerInfo& peer);
    void RemovePeer(const std::string& machineName, const std::string& discrimination, const std::string& source = {});
    std::string FindPeerAddress(const std::string& machineName) const;

    // Automatic answers.
    bool SendLoginOk(const std::string& ipAddress, const std::string& discrimination);
    bool SendAbsenceMessage(const std::string& text, const std::string& ipAddress, const std::string& discrimination);
    bool SendMenuNothing(const std::string& ipAddress, const std::string& discrimination);
    bool SendMessageOk(const std::string& messageId, const std::string& ipAddress, const std::string& discrimination);

    // What a console sends: the menu question, the answer to a prompt, and a person-to-person
    // message that awaits its receipt (OnErrorSend when none comes within timeoutMs).
    bool SendMenuCheck(const std::string& machineName, const std::string& discrimination);
    bool SendInputReturn(const std::string& inputDiscrimination, const std::string& inputReturn,
                         const std::string& machineName, const std::string& discrimination);
    bool SendMessage(const std::string& message, bool letter, const std::string& machineName,
                     const std::string& discrimination, unsigned timeoutMs = 30000);
    const TKMS_SendHistory& SendHistoryEntry(int number) const
    {
        return sendHistory_.at(static_cast<std::size_t>(number));
    }

    // Events; an unassigned one is skipped and the rest of the handling goes on.
    // A new peer entered the table; a peer's entry changed.
    std::function<void(const PeerInfo&)> OnLogin;
    std::function<void(const PeerInfo&)> OnInfoChange;
    std::function<void(const std::string& message, const std::string& messageId, bool letter,
                       const std::string& handleName, const std::string& machineName,
                       const std::string& discrimination, const std::string& recvTime)>
        OnMessage;
    std::function<void(const std::string& messageId, const std::string& handleName, const std::string& machineName,
                       const std::string& discrimination)>
        OnMessageOk;
    std::function<void(const std::string& messageId, const std::string& handleName, const std::string& machineName,
                       const std::string& discrimination)>
        OnMessageOpen;
    std::function<void(const std::string& absenceMessage, const std::string& handleName,
                       const std::string& machineName, const std::string& discrimination,
                       const std::string& recvTime)>
        OnAbsenceMessage;
    std::function<void(const std::string& handleName, const std::string& machineName,
                       const std::string& discrimination)>
        OnMenuNothing;
    std::function<void(const std::string& message, const std::string& selectList, const std::string& selectReturn,
                       const std::string& selectDiscrimination, const std::string& handleName,
                       const std::string& machineName, const std::string& discrimination)>
        OnInputSelect;
    std::function<void(const std::string& message, const std::string& messageLine,
                       const std::string& lineDiscrimination, const std::string& handleName,
                       const std::string& machineName, const std::string& discrimination, bool password)>
        OnInputLine;
    std::function<void(const std::string& message, const std::string& textDiscrimination,
                       const std::string& handleName, const std::string& machineName,
                       const std::string& discrimination)>
        OnInputText;
    std::function<void(const std::string& message, const std::string& handleName, const std::string& machineName,
                       const std::string& discrimination, const std::string& recvTime)>
        OnInputMessage;
    std::function<void(const std::string& message, const std::string& messageId, const std::string& handleName,
                       const std::string& machineName, const std::string& discrimination,
                       const std::string& recvTime)>
        OnChatMessage;
    std::function<void(const std::string& message, const std::string& messageId, const std::string& machineName,
                       const std::string& discrimination)>
        OnErrorSend;
    std::function<void()> OnErrorRecvOverflow;

    // File events. HandleName, MachineName and Discrimination are the other side's.
    using FileEvent = std::function<void(TransferSocket socketNo, const std::string& handleName,
                                         const std::string& machineName, const std::string& discrimination,
                                         const std::string& fileName)>;
    using FileProgressEvent = std::function<void(TransferSocket socketNo, const std::string& handleName,
                                                 const std::string& machineName, const std::string& discrimination,
                                                 const std::string& fileName, std::int64_t size,
                                                 std::int64_t fileSize)>;
    using FileErrorEvent = std::function<void(TransferSocket socketNo, const std::string& handleName,
                                              const std::string& machineName, const std::string& discrimination,
                                              const std::string& fileName, int error)>;
    FileEvent OnFileSendStart;
    FileProgressEvent OnFileSending;  // iSendSize, iFileSize
    FileEvent OnFileSendEnd;
    // fileName comes in as the sender's file name and goes out as the local path to write;
    // cancel set to true refuses the file.
    std::function<void(TransferSocket socketNo, const std::string& handleName, const std::string& machineName,
                       const std::string& discrimination, std::string& fileName, std::int64_t fileByte,
                       const std::string& comment, bool& cancel)>
        OnFileRecvStart;
    FileProgressEvent OnFileRecving;  // iRecvSize, iFileSize
    FileEvent OnFileRecvEnd;
    // Errors of a send: 0 refused or timed out, 1 the receiver closed, 2 logged out, 3 the file
    // cannot be opened or has become shorter, 4 another connection failure.
    FileErrorEvent OnErrorFileSend;
    // Errors of a receipt: 0 the sender closed early, 1 logged out, 2 the file cannot be
    // written or its size differs from the bytes received (the partial file is deleted in all).
    FileErrorEvent OnErrorFileRecv;

private:
    std::string NewIdentifier();
    std::string RecvTime();
    void Sweep();
    void SendTimeout(int number);
    // A complete message from source: becomes Received() and is handled.
    void Dispatch(std::string message, const std::string& source);
    void DispatchReceived();
    // UpdatePeer with what a LOGIN, LOGIN_OK or INFO_CHANGE says; nothing when its Version,
    // Absence or Menu is no integer.
    void PeerFromMessage(const mesh::ReceivedFields& m);
    // A message of this type from this component: its own values (HandleName to FTPPortNo) in
    // the fields the type carries, and the given ones in the rest.
    std::string OwnMessage(mesh::MessageType type, mesh::FieldValues values) const;
    // The target address of a prompt: a dotted address as given, else the peer's address.
    std::string ResolveTarget(const std::string& machineName) const;
    void ClearPeers();
    // A slot of the datagram's source that takes a piece of this size at this position: the
    // position is free there and the piece has the size the slot's message needs at it. A
    // first piece comes with the framed size its length field gives.
    bool SlotTakes(const TKMS_RecvDataBack& slot, std::size_t position, std::size_t pieceSize,
                   const std::optional<std::size_t>& firstFramed) const;
    // The peer sent a message: it is the last to give way in a full table.
    void HeardFrom(std::string_view machineName, std::string_view discrimination);
    // The position of the peer in the table; -1 when it is not there.
    int FindPeer(std::string_view machineName, std::string_view discrimination) const;
    // Enters the peer at this position of the table into peerIndex_.
    void IndexPeer(int position);
    void ClearSendHistory();

    void AddFileRecv(TransferSocket socket);
    TKMS_FileRecv* FindFileRecv(TransferSocket socket);
    TKMS_FileSend* FindFileSend(TransferSocket socket);
    void CloseTransfer(TransferSocket socket);
    // The one buffer of file data, at least size bytes long.
    char* TransferBuffer(std::size_t size);
    // A line for the other side: what the socket does not take at once waits for its Write
    // report. False when the socket failed, or too much is waiting.
    bool SendLine(TransferSocket socket, const std::string& text);
    // Sends the bytes of lines that wait; false when the socket failed.
    bool SendPending(TransferSocket socket);
    std::string* PendingOf(TransferSocket socket);
    bool SendFileData(TransferSocket socket);
    bool ReceiveTransferData(TransferSocket socket);
    // ReceiveTransferData by the record the socket has: the receiver's answers to a send, an
    // incoming header, an incoming file's bytes.
    bool ReceiveAnswer(TransferSocket socket, const std::string& text);
    bool ReceiveHeader(TransferSocket socket, const std::string& text);
    bool ReceiveFileData(TransferSocket socket, const char* data, std::size_t size);
    // Ends every transfer: OnErrorFileSend with sendError, OnErrorFileRecv with recvError.
    void AbortTransfers(int sendError, int recvError);
    void RaiseSendError(const TKMS_FileSend& record, int error);
    void RaiseRecvError(const TKMS_FileRecv& record, int error);

    mesh::MeshBackend& backend_;
    std::minstd_rand random_;

    std::string discrimination_ = "KMS";
    std::int32_t version_ = 100;
    int portNo_ = 51000;
    int ftpPortNo_ = 52000;
    int ftpSendByte_ = 4096;
    int ftpRecvByte_ = 8192;
    TransferSocket ftpSocketNo_ = mesh::MeshBackend::kNoSocket;
    std::uint64_t nextSerial_ = 1;
    std::uint64_t heardCounter_ = 0;
    std::uint64_t datagramCounter_ = 0;
    std::size_t lastRecvBytes_ = 0;
    std::string broadcastIP_;
    bool security_ = false;
    std::string ipAddress_, machineName_, handleName_;
    bool absence_ = false;
    std::string absenceMessage_;
    bool menu_ = false;
    bool chat_ = false;
    bool loginStates_ = false;
    int loginCount_ = 0;
    bool started_ = false;
    int maxUdpSize_ = 0;

    std::vector<TKMS_RecvDataBack> recvBuffers_;
    TKMS_RecvInformation received_;
    std::array<TKMS_RecvHistory, kRecvHistoryCount> recvHistory_{};
    std::size_t recvHistoryNext_ = 0;  // the oldest entry, overwritten next
    std::array<TKMS_SendHistory, kSendHistoryLast + 1> sendHistory_{};  // index 0 unused
    std::array<TKMS_LoginUserInformation, kPeerTableSize> loginUsers_{};
    // The peers of the table by MachineName and Discrimination, open addressing: position + 1,
    // 0 for a free entry. Twice the table's size, so a search stays short.
    std::array<std::int16_t, 2 * kPeerTableSize> peerIndex_{};
    struct QueuedDatagram {
        std::uint32_t Destination;
        std::string Bytes;
        std::uint64_t Message;  // the datagrams of one message share it
    };
    std::deque<QueuedDatagram> udpQueue_;
    std::uint64_t udpMessages_ = 0;
    std::vector<std::unique_ptr<TKMS_FileRecv>> fileRecvs_;
    std::vector<std::unique_ptr<TKMS_FileSend>> fileSends_;
    std::map<std::uint64_t, OpenFile> transferFiles_;  // open files, by the record's Serial
    std::vector<char> transferBuffer_;
};

}  // namespace kiv
