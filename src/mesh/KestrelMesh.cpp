#include "KestrelMesh.h"

#include <algorithm>

namespace kiv {

using mesh::GetField;
using mesh::MeshBackend;

namespace {

const char* BoolText(bool b)
{
    return b ? "1" : "0";
}

// Absence, Menu and Chat are stored as the low eight bits of the integer read.
bool LowByteSet(std::int32_t value)
{
    return (value & 0xFF) != 0;
}

}  // namespace

TKestrelMesh::TKestrelMesh(MeshBackend& backend, std::uint32_t seed) : backend_(backend), random_(seed)
{
    backend_.SetEvents(this);
}

TKestrelMesh::~TKestrelMesh()
{
    if (started_)
        Stop();
    backend_.SetEvents(nullptr);
}

std::string TKestrelMesh::NewIdentifier()
{
    std::uniform_int_distribution<int> draw(0, 99999);
    return mesh::MakeIdentifier(backend_.LocalTime(), draw(random_));
}

std::string TKestrelMesh::RecvTime()
{
    return mesh::FormatRecvTime(backend_.LocalTime());
}

void TKestrelMesh::ClearPeers()
{
    loginUsers_.fill(TKMS_LoginUserInformation{});
    loginCount_ = 0;
}

void TKestrelMesh::ClearSendHistory()
{
    for (int n = kSendHistoryFirst; n <= kSendHistoryLast; ++n) {
        auto& entry = sendHistory_[static_cast<std::size_t>(n)];
        if (!entry.MessageID.empty())
            backend_.KillTimer(n);
        entry = TKMS_SendHistory{};
    }
}

bool TKestrelMesh::Start()
{
    if (started_)
        return false;
    recvBuffers_.assign(kRecvSlotCount, TKMS_RecvDataBack{});
    recvHistory_.fill(TKMS_RecvHistory{});
    ClearSendHistory();
    fileSends_.clear();
    fileRecvs_.clear();
    transferFiles_.clear();

    const auto maxUdp = backend_.OpenUdp(portNo_);
    if (!maxUdp) {
        Stop();
        return false;
    }
    started_ = true;
    maxUdpSize_ = *maxUdp;
    machineName_ = backend_.ComputerName();
    const auto address = backend_.LocalAddress();
    if (!address) {
        Stop();
        return false;
    }
    ipAddress_ = *address;
    backend_.SetTimer(kSweepTimerId, kSweepIntervalMs);
    if (ftpPortNo_ == 0)
        return true;
    ftpSocketNo_ = backend_.ListenTcp(ftpPortNo_);
    if (ftpSocketNo_ == MeshBackend::kNoSocket) {
        Stop();
        return false;
    }
    return true;
}

void TKestrelMesh::Stop()
{
    if (loginStates_)
        Logout();
    // Transfers that outlived a logout (none were logged in) end the same way.
    AbortTransfers(file_send_error::LoggedOut, file_recv_error::LoggedOut);
    backend_.KillTimer(kSweepTimerId);
    ClearSendHistory();
    if (ftpSocketNo_ != MeshBackend::kNoSocket)
        backend_.CloseTcp(ftpSocketNo_);
    ftpSocketNo_ = MeshBackend::kNoSocket;
    backend_.CloseUdp();
    recvBuffers_.clear();
    ClearPeers();
    started_ = false;
    machineName_.clear();
    ipAddress_.clear();
    absenceMessage_.clear();
    absence_ = false;
    loginStates_ = false;
}

bool TKestrelMesh::Login()
{
    if (!started_ || loginStates_)
        return false;
    loginStates_ = true;
    return SendText(mesh::BuildMessage(mesh_tags::Login,
                                       {machineName_, ipAddress_, discrimination_, handleName_,
                                        std::to_string(version_), BoolText(absence_), BoolText(menu_),
                                        BoolText(chat_), std::to_string(ftpPortNo_)}));
}

bool TKestrelMesh::Logout()
{
    if (!loginStates_)
        return false;
    AbortTransfers(file_send_error::LoggedOut, file_recv_error::LoggedOut);
    const bool sent = SendText(mesh::BuildMessage(mesh_tags::Logout, {machineName_, discrimination_}));
    loginStates_ = false;
    ClearPeers();
    chat_ = false;
    return sent;
}

bool TKestrelMesh::SendText(const std::string& messageText, const std::optional<std::string>& target)
{
    const std::string text = NewIdentifier() + messageText;
    if (target)
        return SendFragments(text, target);
    if (!SendFragments(text))
        return false;
    for (int i = 0;; ++i) {
        const std::string item = GetField(broadcastIP_, i);
        if (item.empty() || i > 255)
            break;
        SendFragments(text, item);
    }
    return true;
}

bool TKestrelMesh::SendFragments(const std::string& text, const std::optional<std::string>& address)
{
    if (!started_)
        return false;
    std::uint32_t destination = kLimitedBroadcast;
    if (address) {
        const auto parsed = mesh::InetAddr(*address);
        if (!parsed)
            return false;
        destination = *parsed;
    }
    if (text.size() > mesh::kMaxMessageLength)
        return false;
    const auto datagrams = mesh::CutDatagrams(mesh::FrameText(text, security_));
    if (datagrams.empty())
        return false;
    for (const auto& datagram : datagrams) {
        int retries = 0;
        for (;;) {
            const auto result = backend_.SendTo(destination, portNo_, datagram.data(), datagram.size());
            if (result == MeshBackend::SendResult::Sent)
                break;
            if (result == MeshBackend::SendResult::Failed || ++retries > kMaxWouldBlockRetries)
                return false;
        }
    }
    return true;
}

bool TKestrelMesh::SlotTakes(const TKMS_RecvDataBack& slot, std::size_t position, const std::string& piece) const
{
    if (position < slot.Pieces.size() && !slot.Pieces[position].empty())
        return false;
    if (slot.Framed != 0)
        return piece.size() == mesh::PieceSize(slot.Framed, position);
    if (position != 0)
        return true;  // the slot's message is not known yet
    // A first piece: the pieces already there must be the rest of its message.
    const auto framed = mesh::FramedSize(piece);
    if (!framed)
        return true;  // unreadable: it goes nowhere anyway
    for (std::size_t k = 1; k < slot.Pieces.size(); ++k)
        if (!slot.Pieces[k].empty() && slot.Pieces[k].size() != mesh::PieceSize(*framed, k))
            return false;
    return true;
}

void TKestrelMesh::ReceiveDatagram(const char* data, std::size_t size, std::uint32_t source)
{
    if (!started_ || size == 0 || recvBuffers_.size() != kRecvSlotCount)
        return;
    const std::string sourceText = mesh::InetNtoa(source);
    const std::size_t p = static_cast<unsigned char>(static_cast<unsigned char>(data[0]) - 1);
    std::string piece = mesh::DatagramPiece(data, size);

    // Datagrams carry no message number. Of the source's slots, the piece goes to the one
    // its datagram most recently went to among those where it fits: a sender sends the
    // datagrams of one message in a row, and a piece of another size belongs elsewhere.
    int chosen = -1;
    int ownSlots = 0;
    int ownOldest = -1;
    for (int i = 0; i < kRecvSlotCount; ++i) {
        const auto& slot = recvBuffers_[static_cast<std::size_t>(i)];
        if (slot.IPAddress != sourceText)
            continue;
        ++ownSlots;
        if (ownOldest < 0 || slot.Touched < recvBuffers_[static_cast<std::size_t>(ownOldest)].Touched)
            ownOldest = i;
        if (SlotTakes(slot, p, piece) &&
            (chosen < 0 || slot.Touched >= recvBuffers_[static_cast<std::size_t>(chosen)].Touched))
            chosen = i;
    }
    if (chosen < 0 && ownSlots >= kRecvSlotsPerSource) {
        // One source cannot take the slots that other peers' messages need.
        chosen = ownOldest;
        recvBuffers_[static_cast<std::size_t>(chosen)] = TKMS_RecvDataBack{};
    }
    if (chosen < 0) {
        for (int i = 0; i < kRecvSlotCount; ++i)
            if (recvBuffers_[static_cast<std::size_t>(i)].IPAddress.empty())
                chosen = i;
    }
    if (chosen < 0) {
        if (OnErrorRecvOverflow)
            OnErrorRecvOverflow();
        return;
    }
    auto& slot = recvBuffers_[static_cast<std::size_t>(chosen)];
    slot.IPAddress = sourceText;
    slot.LastTime = backend_.NowMilliseconds();
    slot.Touched = ++datagramCounter_;
    if (slot.Pieces.size() <= p)
        slot.Pieces.resize(p + 1);
    slot.Pieces[p] = std::move(piece);

    // The first piece's length field says how many datagrams the sender sent; only those
    // make the message. Until they are all in, nothing is unframed, so a datagram costs the
    // same whatever the slot already holds.
    if (p == 0 && !slot.Pieces[0].empty()) {
        const auto framed = mesh::FramedSize(slot.Pieces[0]);
        if (!framed) {
            // Its first piece can never be replaced, so the slot could never complete.
            slot = TKMS_RecvDataBack{};
            return;
        }
        slot.Framed = *framed;
    }
    if (slot.Framed == 0)
        return;
    const std::size_t needed = mesh::PieceCount(slot.Framed);
    if (slot.Pieces.size() < needed)
        return;
    for (std::size_t k = 0; k < needed; ++k)
        if (slot.Pieces[k].empty())
            return;
    // All there: the message completes now or never (a piece in place is never replaced).
    // Pieces at later positions are left over from another message or junk, and go with it.
    auto message = mesh::UnframePieces(slot.Pieces, needed);
    slot = TKMS_RecvDataBack{};
    if (!message)
        return;
    received_.Text = std::move(*message);
    received_.IPAddress = sourceText;
    DispatchReceived();
}

void TKestrelMesh::TimerFired(int id)
{
    if (id == kSweepTimerId)
        Sweep();
    else if (id >= kSendHistoryFirst && id <= kSendHistoryLast)
        SendTimeout(id);
}

void TKestrelMesh::Sweep()
{
    const std::uint64_t now = backend_.NowMilliseconds();
    for (auto& slot : recvBuffers_)
        if (slot.LastTime && now - *slot.LastTime > kSlotLifetimeMs)
            slot = TKMS_RecvDataBack{};
}

void TKestrelMesh::SendTimeout(int number)
{
    backend_.KillTimer(number);
    const TKMS_SendHistory entry = sendHistory_[static_cast<std::size_t>(number)];
    sendHistory_[static_cast<std::size_t>(number)] = TKMS_SendHistory{};
    if (entry.MessageID.empty())
        return;
    if (OnErrorSend)
        OnErrorSend(entry.Message, entry.MessageID, entry.MachineName, entry.Discrimination);
}

void TKestrelMesh::UpdatePeer(const std::string& machineName, const std::string& discrimination,
                              const std::string& ipAddress, const std::string& handleName, std::int32_t version,
                              bool absence, bool menu, bool chat, std::int32_t ftpPort)
{
    for (int i = 0; i < loginCount_; ++i) {
        auto& peer = loginUsers_[static_cast<std::size_t>(i)];
        if (peer.MachineName != machineName || peer.Discrimination != discrimination)
            continue;
        peer.LastHeard = ++heardCounter_;
        if (peer.HandleName == handleName && peer.IPAddress == ipAddress && peer.Version == version &&
            peer.Absence == absence && peer.Menu == menu && peer.Chat == chat)
            return;
        peer.HandleName = handleName;
        peer.IPAddress = ipAddress;
        peer.Discrimination = discrimination;
        peer.Version = version;
        peer.Absence = absence;
        peer.Menu = menu;
        peer.Chat = chat;
        peer.FTPPort = ftpPort;
        const TKMS_LoginUserInformation copy = peer;
        if (OnInfoChange)
            OnInfoChange(copy.MachineName, copy.HandleName, copy.IPAddress, copy.Discrimination, copy.Version,
                         copy.Absence, copy.Menu, copy.Chat, copy.FTPPort);
        return;
    }
    if (loginCount_ >= kPeerTableSize) {
        // Full: the peer heard from longest ago gives way, so made-up names cannot keep a
        // real console out. It leaves as if it had logged out.
        int oldest = 0;
        for (int i = 1; i < loginCount_; ++i)
            if (loginUsers_[static_cast<std::size_t>(i)].LastHeard <
                loginUsers_[static_cast<std::size_t>(oldest)].LastHeard)
                oldest = i;
        const auto& gone = loginUsers_[static_cast<std::size_t>(oldest)];
        RemovePeer(std::string(gone.MachineName), std::string(gone.Discrimination));
        // A handler of OnLogout may have changed the table; only add into room.
        if (loginCount_ >= kPeerTableSize)
            return;
    }
    loginUsers_[static_cast<std::size_t>(loginCount_)] = {handleName, machineName, ipAddress, discrimination,
                                                          version,    absence,     menu,      chat,
                                                          ftpPort,    ++heardCounter_};
    ++loginCount_;
    if (OnLogin)
        OnLogin(handleName, machineName, ipAddress, discrimination, version, absence, menu, chat, ftpPort);
}

void TKestrelMesh::HeardFrom(const std::string& machineName, const std::string& discrimination)
{
    for (int i = 0; i < loginCount_; ++i) {
        auto& peer = loginUsers_[static_cast<std::size_t>(i)];
        if (peer.MachineName == machineName && peer.Discrimination == discrimination) {
            peer.LastHeard = ++heardCounter_;
            return;
        }
    }
}

void TKestrelMesh::RemovePeer(const std::string& machineName, const std::string& discrimination)
{
    for (int i = 0; i < loginCount_; ++i) {
        const auto& peer = loginUsers_[static_cast<std::size_t>(i)];
        if (peer.MachineName != machineName || peer.Discrimination != discrimination)
            continue;
        const TKMS_LoginUserInformation removed = peer;
        for (int k = i; k + 1 < kPeerTableSize; ++k)
            loginUsers_[static_cast<std::size_t>(k)] = std::move(loginUsers_[static_cast<std::size_t>(k + 1)]);
        loginUsers_[kPeerTableSize - 1] = TKMS_LoginUserInformation{};
        --loginCount_;
        if (OnLogout)
            OnLogout(removed.HandleName, removed.MachineName, removed.IPAddress, removed.Discrimination);
        return;
    }
}

std::string TKestrelMesh::FindPeerAddress(const std::string& machineName) const
{
    for (int i = 0; i < loginCount_; ++i)
        if (loginUsers_[static_cast<std::size_t>(i)].MachineName == machineName)
            return loginUsers_[static_cast<std::size_t>(i)].IPAddress;
    return {};
}

bool TKestrelMesh::IsAddressedToMe(const std::vector<std::string>& fields) const
{
    return fields.size() > 2 && fields[1] == ipAddress_ && fields[2] == discrimination_;
}

void TKestrelMesh::DispatchReceived()
{
    const std::string_view whole = received_.Text;
    const std::string_view identifier = whole.substr(0, mesh::kIdentifierLength);
    const std::string_view text = whole.substr(std::min(whole.size(), mesh::kIdentifierLength));
    for (const auto& entry : recvHistory_)
        if (entry.MessageID == identifier)
            return;
    // The oldest entry's strings are reused for the newest: no copies.
    std::rotate(recvHistory_.begin(), recvHistory_.end() - 1, recvHistory_.end());
    recvHistory_[0].MessageID.assign(identifier);
    recvHistory_[0].IPAddress = received_.IPAddress;
    if (!loginStates_)
        return;

    // Every field any type reads, split once; an absent one reads as the empty text.
    const std::vector<std::string> fields = mesh::SplitFields(mesh::kFieldSeparator, text, kLastFieldRead);
    static const std::string kAbsent;
    auto f = [&fields](int n) -> const std::string& {
        return static_cast<std::size_t>(n) < fields.size() ? fields[static_cast<std::size_t>(n)] : kAbsent;
    };
    const std::string& type = f(0);
    auto peerFields = [&](int machineField, int discField, int ipField, int handleField, int first) {
        const auto version = mesh::ParseInteger(f(first));
        const auto absence = mesh::ParseInteger(f(first + 1));
        const auto menu = mesh::ParseInteger(f(first + 2));
        if (!version || !absence || !menu)
            return;
        UpdatePeer(f(machineField), f(discField), f(ipField), f(handleField), *version, LowByteSet(*absence),
                   LowByteSet(*menu), LowByteSet(mesh::ParseIntegerOr(f(first + 3), 0)),
                   mesh::ParseIntegerOr(f(first + 4), 0));
    };

    namespace t = mesh_tags;
    if (type == t::Login) {
        SendLoginOk(f(2), f(3));
        peerFields(1, 3, 2, 4, 5);
    } else if (type == t::LoginOk) {
        // Fields 5 and 6 hold the answering peer's Discrimination and HandleName; peers rely on
        // this comparison as it stands.
        if (!IsAddressedToMe(fields) || f(5) == ipAddress_ || f(6) == discrimination_)
            return;
        peerFields(3, 5, 4, 6, 7);
    } else if (type == t::InfoChange) {
        peerFields(1, 2, 3, 4, 5);
    } else if (type == t::Logout) {
        RemovePeer(f(1), f(2));
    } else if (type == t::ChatMessage) {
        if (chat_ && OnChatMessage)
            OnChatMessage(f(6), f(5), f(1), f(2), f(4), RecvTime());
    } else if (type == t::OpenCheck || type == t::HuzaiCheck || type == t::HuzaiMessage || type == t::MenuCheck ||
               type == t::MenuNothing || type == t::Message || type == t::MessageOk || type == t::InputSelect ||
               type == t::InputLine || type == t::InputText || type == t::InputReturn || type == t::InputMessage) {
        if (!IsAddressedToMe(fields))
            return;
        if (type == t::OpenCheck) {
            if (OnMessageOpen)
                OnMessageOpen(f(6), f(3), f(4), f(5));
        } else if (type == t::HuzaiCheck) {
            SendAbsenceMessage(absence_ && !absenceMessage_.empty() ? absenceMessage_ : "Nothing", f(3), f(4));
        } else if (type == t::HuzaiMessage) {
            if (OnAbsenceMessage)
                OnAbsenceMessage(f(6), f(3), f(4), f(5), RecvTime());
        } else if (type == t::MenuCheck) {
            HeardFrom(f(4), f(6));
            if (menu_ && OnMenuRequest)
                OnMenuRequest(f(3), f(4), f(6));
            else
                SendMenuNothing(f(5), f(6));
        } else if (type == t::MenuNothing) {
            if (OnMenuNothing)
                OnMenuNothing(f(3), f(4), f(5));
        } else if (type == t::Message) {
            SendMessageOk(f(7), f(5), f(6));
            if (OnMessage)
                OnMessage(f(8), f(7), f(9) == "1", f(3), f(4), f(6), RecvTime());
        } else if (type == t::MessageOk) {
            const std::string id = f(6);
            for (int n = kSendHistoryFirst; n <= kSendHistoryLast; ++n) {
                auto& entry = sendHistory_[static_cast<std::size_t>(n)];
                if (!entry.MessageID.empty() && entry.MessageID == id) {
                    backend_.KillTimer(n);
                    entry = TKMS_SendHistory{};
                    break;
                }
            }
            if (OnMessageOk)
                OnMessageOk(id, f(3), f(4), f(5));
        } else if (type == t::InputSelect) {
            if (OnInputSelect)
                OnInputSelect(f(7), f(8), f(9), f(6), f(3), f(4), f(5));
        } else if (type == t::InputLine) {
            if (OnInputLine)
                OnInputLine(f(7), f(8), f(6), f(3), f(4), f(5), LowByteSet(mesh::ParseIntegerOr(f(9), 0)));
        } else if (type == t::InputText) {
            if (OnInputText)
                OnInputText(f(7), f(6), f(3), f(4), f(5));
        } else if (type == t::InputReturn) {
            HeardFrom(f(4), f(5));
            if (OnInputReturn)
                OnInputReturn(f(6), f(7), f(3), f(4), f(5));
        } else if (type == t::InputMessage) {
            if (OnInputMessage)
                OnInputMessage(f(6), f(3), f(4), f(5), RecvTime());
        }
    }
}

std::string TKestrelMesh::ResolveTarget(const std::string& machineName) const
{
    std::string target = machineName;
    if (mesh::NormalizeAddress(target))
        return target;
    return FindPeerAddress(machineName);
}

bool TKestrelMesh::SendInputSelect(const std::string& message, const std::string& selectList,
                                   const std::string& selectReturn, const std::string& selectDiscrimination,
                                   const std::string& machineName, const std::string& discrimination)
{
    const std::string target = ResolveTarget(machineName);
    if (target.empty() || !loginStates_)
        return false;
    return SendText(mesh::BuildMessage(mesh_tags::InputSelect,
                                       {target, discrimination, handleName_, machineName_, discrimination_,
                                        selectDiscrimination, message, selectList, selectReturn}));
}

bool TKestrelMesh::SendInputLine(const std::string& message, const std::string& messageLine,
                                 const std::string& lineDiscrimination, const std::string& machineName,
                                 const std::string& discrimination, bool password)
{
    const std::string target = ResolveTarget(machineName);
    if (target.empty() || !loginStates_)
        return false;
    return SendText(mesh::BuildMessage(mesh_tags::InputLine,
                                       {target, discrimination, handleName_, machineName_, discrimination_,
                                        lineDiscrimination, message, messageLine, BoolText(password)}));
}

bool TKestrelMesh::SendInputMessage(const std::string& message, const std::string& machineName,
                                    const std::string& discrimination)
{
    const std::string target = ResolveTarget(machineName);
    if (target.empty() || !loginStates_)
        return false;
    return SendText(mesh::BuildMessage(
        mesh_tags::InputMessage, {target, discrimination, handleName_, machineName_, discrimination_, message}));
}

bool TKestrelMesh::SendLoginOk(const std::string& ipAddress, const std::string& discrimination)
{
    return SendText(mesh::BuildMessage(mesh_tags::LoginOk,
                                       {ipAddress, discrimination, machineName_, ipAddress_, discrimination_,
                                        handleName_, std::to_string(version_), BoolText(absence_),
                                        BoolText(menu_), BoolText(chat_), std::to_string(ftpPortNo_)}));
}

bool TKestrelMesh::SendAbsenceMessage(const std::string& text, const std::string& ipAddress,
                                      const std::string& discrimination)
{
    return SendText(mesh::BuildMessage(mesh_tags::HuzaiMessage,
                                       {ipAddress, discrimination, handleName_, machineName_, discrimination_, text}));
}

bool TKestrelMesh::SendMenuNothing(const std::string& ipAddress, const std::string& discrimination)
{
    return SendText(mesh::BuildMessage(mesh_tags::MenuNothing,
                                       {ipAddress, discrimination, handleName_, machineName_, discrimination_}));
}

bool TKestrelMesh::SendMessageOk(const std::string& messageId, const std::string& ipAddress,
                                 const std::string& discrimination)
{
    if (ipAddress.empty())
        return false;
    return SendText(mesh::BuildMessage(
        mesh_tags::MessageOk, {ipAddress, discrimination, handleName_, machineName_, discrimination_, messageId}));
}

bool TKestrelMesh::SendMenuCheck(const std::string& machineName, const std::string& discrimination)
{
    const std::string target = ResolveTarget(machineName);
    if (target.empty() || !loginStates_)
        return false;
    return SendText(mesh::BuildMessage(mesh_tags::MenuCheck, {target, discrimination, handleName_, machineName_,
                                                              ipAddress_, discrimination_}));
}

bool TKestrelMesh::SendInputReturn(const std::string& inputDiscrimination, const std::string& inputReturn,
                                   const std::string& machineName, const std::string& discrimination)
{
    const std::string target = ResolveTarget(machineName);
    if (target.empty() || !loginStates_)
        return false;
    return SendText(mesh::BuildMessage(mesh_tags::InputReturn,
                                       {target, discrimination, handleName_, machineName_, discrimination_,
                                        inputDiscrimination, inputReturn}));
}

bool TKestrelMesh::SendMessage(const std::string& message, bool letter, const std::string& machineName,
                               const std::string& discrimination, unsigned timeoutMs)
{
    const std::string target = ResolveTarget(machineName);
    if (target.empty() || !loginStates_)
        return false;
    int number = 0;
    for (int n = kSendHistoryFirst; n <= kSendHistoryLast && number == 0; ++n)
        if (sendHistory_[static_cast<std::size_t>(n)].MessageID.empty())
            number = n;
    if (number == 0)
        return false;
    const std::string messageId = NewIdentifier();
    if (!SendText(mesh::BuildMessage(mesh_tags::Message,
                                     {target, discrimination, handleName_, machineName_, ipAddress_,
                                      discrimination_, messageId, message, BoolText(letter)})))
        return false;
    sendHistory_[static_cast<std::size_t>(number)] = {message, messageId, machineName, discrimination};
    backend_.SetTimer(number, timeoutMs);
    return true;
}

}  // namespace kiv
