#include "KestrelMesh.h"

#include <algorithm>

namespace kiv {

using mesh::GetField;
using mesh::MeshBackend;
using mesh::MessageType;
using F = mesh::Field;

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
    // The table holds its peers at its front; the rest is empty already.
    for (int i = 0; i < loginCount_; ++i)
        loginUsers_[static_cast<std::size_t>(i)] = TKMS_LoginUserInformation{};
    loginCount_ = 0;
    peerIndex_.fill(0);
}

void TKestrelMesh::ClearSendHistory()
{
    for (int n = kSendHistoryFirst; n <= kSendHistoryLast; ++n) {
        // An entry in use has a message identifier; the others are empty already.
        auto& entry = sendHistory_[static_cast<std::size_t>(n)];
        if (!entry.MessageID.empty()) {
            backend_.KillTimer(n);
            entry = TKMS_SendHistory{};
        }
    }
}

bool TKestrelMesh::Start()
{
    if (started_)
        return false;
    recvBuffers_.assign(kRecvSlotCount, TKMS_RecvDataBack{});
    recvHistory_.fill(TKMS_RecvHistory{});
    recvHistoryNext_ = 0;
    ClearSendHistory();
    udpQueue_.clear();
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
    UdpWritable();  // what the socket takes now still goes, the LOGOUT among it
    backend_.CloseUdp();
    udpQueue_.clear();
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
    return SendText(OwnMessage(MessageType::Login, {}));
}

bool TKestrelMesh::Logout()
{
    if (!loginStates_)
        return false;
    AbortTransfers(file_send_error::LoggedOut, file_recv_error::LoggedOut);
    const bool sent = SendText(OwnMessage(MessageType::Logout, {}));
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
    // Behind datagrams that wait, this message waits too: messages go out in order.
    std::size_t sent = 0;
    while (udpQueue_.empty() && sent < datagrams.size()) {
        const auto& datagram = datagrams[sent];
        const auto result = backend_.SendTo(destination, portNo_, datagram.data(), datagram.size());
        if (result == MeshBackend::SendResult::Failed)
            return false;
        if (result == MeshBackend::SendResult::WouldBlock)
            break;
        ++sent;
    }
    if (sent == datagrams.size())
        return true;
    if (udpQueue_.size() + (datagrams.size() - sent) > kMaxQueuedDatagrams)
        return false;
    const std::uint64_t message = ++udpMessages_;
    for (std::size_t i = sent; i < datagrams.size(); ++i)
        udpQueue_.push_back({destination, datagrams[i], message});
    return true;
}

void TKestrelMesh::UdpWritable()
{
    while (!udpQueue_.empty()) {
        const QueuedDatagram& next = udpQueue_.front();
        const auto result = backend_.SendTo(next.Destination, portNo_, next.Bytes.data(), next.Bytes.size());
        if (result == MeshBackend::SendResult::WouldBlock)
            return;  // the next report goes on
        if (result == MeshBackend::SendResult::Failed) {
            // The rest of that message is of no use to the receiver.
            const std::uint64_t failed = next.Message;
            while (!udpQueue_.empty() && udpQueue_.front().Message == failed)
                udpQueue_.pop_front();
            continue;
        }
        udpQueue_.pop_front();
    }
}

bool TKestrelMesh::SlotTakes(const TKMS_RecvDataBack& slot, std::size_t position, std::size_t pieceSize,
                             const std::optional<std::size_t>& firstFramed) const
{
    if (position < slot.Pieces.size() && !slot.Pieces[position].empty())
        return false;
    if (slot.Framed != 0)
        return pieceSize == mesh::PieceSize(slot.Framed, position);
    if (position != 0)
        return true;  // the slot's message is not known yet
    // A first piece: the pieces already there must be the rest of its message.
    if (!firstFramed)
        return true;  // unreadable: it goes nowhere anyway
    for (std::size_t k = 1; k < slot.Pieces.size(); ++k)
        if (!slot.Pieces[k].empty() && slot.Pieces[k].size() != mesh::PieceSize(*firstFramed, k))
            return false;
    return true;
}

void TKestrelMesh::ReceiveDatagram(const char* data, std::size_t size, std::uint32_t source)
{
    if (!started_ || size == 0 || recvBuffers_.size() != kRecvSlotCount)
        return;
    const std::string sourceText = mesh::InetNtoa(source);
    const std::size_t p = static_cast<unsigned char>(static_cast<unsigned char>(data[0]) - 1);
    const std::string_view piece = mesh::DatagramPiece(data, size);
    // A first piece is read once: its length field says where it fits, and a message of
    // one datagram comes out of the same decoding.
    mesh::FirstPiece first;
    if (p == 0 && !piece.empty())
        first = mesh::ReadFirstPiece(piece);

    // Datagrams carry no message number. Of the source's slots where the piece fits, the last
    // in index order takes it, as every peer does: a new message takes the last free slot, so
    // when two programs of one machine send at once, each piece goes to the message that began
    // first. (Taking the slot touched last instead mixed such messages.)
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
        if (SlotTakes(slot, p, piece.size(), first.framed))
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
    if (p == 0 && !piece.empty() && (!first.framed || mesh::PieceCount(*first.framed) == 1)) {
        // The message is this datagram alone, or its first piece can never be replaced and
        // the slot could never complete: either way the slot ends here, with any pieces at
        // later positions (left over from another message, or junk).
        slot = TKMS_RecvDataBack{};
        if (first.message)
            Dispatch(std::move(*first.message), sourceText);
        return;
    }
    slot.IPAddress = sourceText;
    slot.LastTime = backend_.NowMilliseconds();
    slot.Touched = ++datagramCounter_;
    if (slot.Pieces.size() <= p)
        slot.Pieces.resize(p + 1);
    slot.Pieces[p].assign(piece);

    // The first piece's length field says how many datagrams the sender sent; only those
    // make the message. Until they are all in, nothing is unframed, so a datagram costs the
    // same whatever the slot already holds.
    if (p == 0 && !piece.empty())
        slot.Framed = *first.framed;
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
    if (message)
        Dispatch(std::move(*message), sourceText);
}

void TKestrelMesh::Dispatch(std::string message, const std::string& source)
{
    received_.Text = std::move(message);
    received_.IPAddress = source;
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

namespace {

PeerInfo InfoOf(const TKMS_LoginUserInformation& entry, const std::string& source)
{
    return {entry.HandleName, entry.MachineName, entry.IPAddress, entry.Discrimination, entry.Version,
            entry.Absence,    entry.Menu,        entry.Chat,      entry.FTPPort,        source};
}

}  // namespace

void TKestrelMesh::UpdatePeer(const PeerInfo& info)
{
    if (const int found = FindPeer(info.MachineName, info.Discrimination); found >= 0) {
        auto& peer = loginUsers_[static_cast<std::size_t>(found)];
        peer.LastHeard = ++heardCounter_;
        if (peer.HandleName == info.HandleName && peer.IPAddress == info.IPAddress && peer.Version == info.Version &&
            peer.Absence == info.Absence && peer.Menu == info.Menu && peer.Chat == info.Chat)
            return;
        peer.HandleName = info.HandleName;
        peer.IPAddress = info.IPAddress;
        peer.Discrimination = info.Discrimination;
        peer.Version = info.Version;
        peer.Absence = info.Absence;
        peer.Menu = info.Menu;
        peer.Chat = info.Chat;
        peer.FTPPort = info.FTPPort;
        if (OnInfoChange)
            OnInfoChange(InfoOf(peer, info.Source));
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
        RemovePeer(std::string(gone.MachineName), std::string(gone.Discrimination), info.Source);
        // A handler of OnLogout may have changed the table; only add into room.
        if (loginCount_ >= kPeerTableSize)
            return;
    }
    loginUsers_[static_cast<std::size_t>(loginCount_)] = {
        info.HandleName, info.MachineName, info.IPAddress, info.Discrimination, info.Version,
        info.Absence,    info.Menu,        info.Chat,      info.FTPPort,        ++heardCounter_};
    IndexPeer(loginCount_);
    ++loginCount_;
    if (OnLogin)
        OnLogin(info);
}

void TKestrelMesh::HeardFrom(std::string_view machineName, std::string_view discrimination)
{
    if (const int found = FindPeer(machineName, discrimination); found >= 0)
        loginUsers_[static_cast<std::size_t>(found)].LastHeard = ++heardCounter_;
}

void TKestrelMesh::RemovePeer(const std::string& machineName, const std::string& discrimination,
                              const std::string& source)
{
    const int i = FindPeer(machineName, discrimination);
    if (i < 0)
        return;
    const TKMS_LoginUserInformation removed = loginUsers_[static_cast<std::size_t>(i)];
    for (int k = i; k + 1 < loginCount_; ++k)
        loginUsers_[static_cast<std::size_t>(k)] = std::move(loginUsers_[static_cast<std::size_t>(k + 1)]);
    --loginCount_;
    loginUsers_[static_cast<std::size_t>(loginCount_)] = TKMS_LoginUserInformation{};
    // The peers behind it moved up: index them anew.
    peerIndex_.fill(0);
    for (int k = 0; k < loginCount_; ++k)
        IndexPeer(k);
    if (OnLogout)
        OnLogout(InfoOf(removed, source));
}

namespace {

std::size_t PeerHash(std::string_view machineName, std::string_view discrimination)
{
    const std::size_t h = std::hash<std::string_view>{}(machineName);
    return h ^ (std::hash<std::string_view>{}(discrimination) + 0x9E3779B9u + (h << 6) + (h >> 2));
}

}  // namespace

int TKestrelMesh::FindPeer(std::string_view machineName, std::string_view discrimination) const
{
    if (loginCount_ == 0)
        return -1;
    // Half the index at most is in use, so a probe always ends at a free entry.
    for (std::size_t at = PeerHash(machineName, discrimination);; ++at) {
        const int entry = peerIndex_[at % peerIndex_.size()];
        if (entry == 0)
            return -1;
        const auto& peer = loginUsers_[static_cast<std::size_t>(entry - 1)];
        if (peer.MachineName == machineName && peer.Discrimination == discrimination)
            return entry - 1;
    }
}

void TKestrelMesh::IndexPeer(int position)
{
    const auto& peer = loginUsers_[static_cast<std::size_t>(position)];
    std::size_t at = PeerHash(peer.MachineName, peer.Discrimination);
    while (peerIndex_[at % peerIndex_.size()] != 0)
        ++at;
    peerIndex_[at % peerIndex_.size()] = static_cast<std::int16_t>(position + 1);
}

std::string TKestrelMesh::FindPeerAddress(const std::string& machineName) const
{
    for (int i = 0; i < loginCount_; ++i)
        if (loginUsers_[static_cast<std::size_t>(i)].MachineName == machineName)
            return loginUsers_[static_cast<std::size_t>(i)].IPAddress;
    return {};
}

void TKestrelMesh::DispatchReceived()
{
    const std::string_view whole = received_.Text;
    const std::string_view identifier = whole.substr(0, mesh::kIdentifierLength);
    const std::string_view text = whole.substr(std::min(whole.size(), mesh::kIdentifierLength));
    for (const auto& entry : recvHistory_)
        if (entry.MessageID == identifier)
            return;
    // The oldest entry is overwritten, its strings reused.
    auto& newest = recvHistory_[recvHistoryNext_];
    recvHistoryNext_ = (recvHistoryNext_ + 1) % recvHistory_.size();
    newest.MessageID.assign(identifier);
    newest.IPAddress = received_.IPAddress;
    if (!loginStates_)
        return;

    const mesh::ReceivedFields m(text);
    if (!m.Layout())
        return;
    // An absent field reads as the empty text, so a message that ends after the address
    // reaches a component whose Discrimination is empty.
    if (m.Layout()->Addressed() &&
        !(m[F::TargetAddress] == ipAddress_ && m[F::TargetDiscrimination] == discrimination_))
        return;
    switch (m.Layout()->Type()) {
    case MessageType::Login:
        SendLoginOk(m.Text(F::IPAddress), m.Text(F::Discrimination));
        PeerFromMessage(m);
        break;
    case MessageType::LoginOk:
        // The answering peer's Discrimination is compared with the own IPAddress and its
        // HandleName with the own Discrimination; peers rely on this comparison as it stands.
        if (m[F::Discrimination] == ipAddress_ || m[F::HandleName] == discrimination_)
            return;
        PeerFromMessage(m);
        break;
    case MessageType::InfoChange:
        PeerFromMessage(m);
        break;
    case MessageType::Logout:
        RemovePeer(m.Text(F::MachineName), m.Text(F::Discrimination), received_.IPAddress);
        break;
    case MessageType::ChatMessage:
        if (chat_ && OnChatMessage)
            OnChatMessage(m.Text(F::Message), m.Text(F::MessageID), m.Text(F::HandleName), m.Text(F::MachineName),
                          m.Text(F::Discrimination), RecvTime());
        break;
    case MessageType::OpenCheck:
        if (OnMessageOpen)
            OnMessageOpen(m.Text(F::MessageID), m.Text(F::HandleName), m.Text(F::MachineName),
                          m.Text(F::Discrimination));
        break;
    case MessageType::HuzaiCheck:
        SendAbsenceMessage(absence_ && !absenceMessage_.empty() ? absenceMessage_ : "Nothing", m.Text(F::IPAddress),
                           m.Text(F::Discrimination));
        break;
    case MessageType::HuzaiMessage:
        if (OnAbsenceMessage)
            OnAbsenceMessage(m.Text(F::AbsenceMessage), m.Text(F::HandleName), m.Text(F::MachineName),
                             m.Text(F::Discrimination), RecvTime());
        break;
    case MessageType::MenuCheck:
        HeardFrom(m[F::MachineName], m[F::Discrimination]);
        if (menu_ && OnMenuRequest)
            OnMenuRequest(MeshRequest{m.Text(F::HandleName), m.Text(F::MachineName), m.Text(F::Discrimination),
                                      received_.IPAddress, {}, {}});
        else
            SendMenuNothing(m.Text(F::IPAddress), m.Text(F::Discrimination));
        break;
    case MessageType::MenuNothing:
        if (OnMenuNothing)
            OnMenuNothing(m.Text(F::HandleName), m.Text(F::MachineName), m.Text(F::Discrimination));
        break;
    case MessageType::Message:
        SendMessageOk(m.Text(F::MessageID), m.Text(F::IPAddress), m.Text(F::Discrimination));
        if (OnMessage)
            OnMessage(m.Text(F::Message), m.Text(F::MessageID), m[F::Letter] == "1", m.Text(F::HandleName),
                      m.Text(F::MachineName), m.Text(F::Discrimination), RecvTime());
        break;
    case MessageType::MessageOk:
        for (int n = kSendHistoryFirst; n <= kSendHistoryLast; ++n) {
            auto& entry = sendHistory_[static_cast<std::size_t>(n)];
            if (!entry.MessageID.empty() && entry.MessageID == m[F::MessageID]) {
                backend_.KillTimer(n);
                entry = TKMS_SendHistory{};
                break;
            }
        }
        if (OnMessageOk)
            OnMessageOk(m.Text(F::MessageID), m.Text(F::HandleName), m.Text(F::MachineName),
                        m.Text(F::Discrimination));
        break;
    case MessageType::InputSelect:
        if (OnInputSelect)
            OnInputSelect(m.Text(F::Message), m.Text(F::SelectList), m.Text(F::SelectReturn),
                          m.Text(F::SelectDiscrimination), m.Text(F::HandleName), m.Text(F::MachineName),
                          m.Text(F::Discrimination));
        break;
    case MessageType::InputLine:
        if (OnInputLine)
            OnInputLine(m.Text(F::Message), m.Text(F::MessageLine), m.Text(F::LineDiscrimination),
                        m.Text(F::HandleName), m.Text(F::MachineName), m.Text(F::Discrimination),
                        LowByteSet(mesh::ParseIntegerOr(m[F::Password], 0)));
        break;
    case MessageType::InputText:
        if (OnInputText)
            OnInputText(m.Text(F::Message), m.Text(F::TextDiscrimination), m.Text(F::HandleName),
                        m.Text(F::MachineName), m.Text(F::Discrimination));
        break;
    case MessageType::InputReturn:
        HeardFrom(m[F::MachineName], m[F::Discrimination]);
        if (OnInputReturn)
            OnInputReturn(MeshRequest{m.Text(F::HandleName), m.Text(F::MachineName), m.Text(F::Discrimination),
                                      received_.IPAddress, m.Text(F::InputDiscrimination), m.Text(F::InputReturn)});
        break;
    case MessageType::InputMessage:
        if (OnInputMessage)
            OnInputMessage(m.Text(F::Message), m.Text(F::HandleName), m.Text(F::MachineName),
                           m.Text(F::Discrimination), RecvTime());
        break;
    }
}

void TKestrelMesh::PeerFromMessage(const mesh::ReceivedFields& m)
{
    const auto version = mesh::ParseInteger(m[F::Version]);
    const auto absence = mesh::ParseInteger(m[F::Absence]);
    const auto menu = mesh::ParseInteger(m[F::Menu]);
    if (!version || !absence || !menu)
        return;
    UpdatePeer(PeerInfo{m.Text(F::HandleName), m.Text(F::MachineName), m.Text(F::IPAddress), m.Text(F::Discrimination),
                        *version, LowByteSet(*absence), LowByteSet(*menu),
                        LowByteSet(mesh::ParseIntegerOr(m[F::Chat], 0)), mesh::ParseIntegerOr(m[F::FTPPortNo], 0),
                        received_.IPAddress});
}

std::string TKestrelMesh::OwnMessage(MessageType type, mesh::FieldValues values) const
{
    const std::string version = std::to_string(version_), ftpPort = std::to_string(ftpPortNo_);
    values.Set(F::HandleName, handleName_);
    values.Set(F::MachineName, machineName_);
    values.Set(F::IPAddress, ipAddress_);
    values.Set(F::Discrimination, discrimination_);
    values.Set(F::Version, version);
    values.Set(F::Absence, BoolText(absence_));
    values.Set(F::Menu, BoolText(menu_));
    values.Set(F::Chat, BoolText(chat_));
    values.Set(F::FTPPortNo, ftpPort);
    return mesh::BuildMessage(type, values);
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
    return SendText(OwnMessage(MessageType::InputSelect, {{F::TargetAddress, target},
                                                          {F::TargetDiscrimination, discrimination},
                                                          {F::SelectDiscrimination, selectDiscrimination},
                                                          {F::Message, message},
                                                          {F::SelectList, selectList},
                                                          {F::SelectReturn, selectReturn}}));
}

bool TKestrelMesh::SendInputLine(const std::string& message, const std::string& messageLine,
                                 const std::string& lineDiscrimination, const std::string& machineName,
                                 const std::string& discrimination, bool password)
{
    const std::string target = ResolveTarget(machineName);
    if (target.empty() || !loginStates_)
        return false;
    return SendText(OwnMessage(MessageType::InputLine, {{F::TargetAddress, target},
                                                        {F::TargetDiscrimination, discrimination},
                                                        {F::LineDiscrimination, lineDiscrimination},
                                                        {F::Message, message},
                                                        {F::MessageLine, messageLine},
                                                        {F::Password, BoolText(password)}}));
}

bool TKestrelMesh::SendInputMessage(const std::string& message, const std::string& machineName,
                                    const std::string& discrimination)
{
    const std::string target = ResolveTarget(machineName);
    if (target.empty() || !loginStates_)
        return false;
    return SendText(OwnMessage(MessageType::InputMessage, {{F::TargetAddress, target},
                                                           {F::TargetDiscrimination, discrimination},
                                                           {F::Message, message}}));
}

bool TKestrelMesh::SendLoginOk(const std::string& ipAddress, const std::string& discrimination)
{
    return SendText(OwnMessage(MessageType::LoginOk, {{F::TargetAddress, ipAddress},
                                                      {F::TargetDiscrimination, discrimination}}));
}

bool TKestrelMesh::SendAbsenceMessage(const std::string& text, const std::string& ipAddress,
                                      const std::string& discrimination)
{
    return SendText(OwnMessage(MessageType::HuzaiMessage, {{F::TargetAddress, ipAddress},
                                                           {F::TargetDiscrimination, discrimination},
                                                           {F::AbsenceMessage, text}}));
}

bool TKestrelMesh::SendMenuNothing(const std::string& ipAddress, const std::string& discrimination)
{
    return SendText(OwnMessage(MessageType::MenuNothing, {{F::TargetAddress, ipAddress},
                                                          {F::TargetDiscrimination, discrimination}}));
}

bool TKestrelMesh::SendMessageOk(const std::string& messageId, const std::string& ipAddress,
                                 const std::string& discrimination)
{
    if (ipAddress.empty())
        return false;
    return SendText(OwnMessage(MessageType::MessageOk, {{F::TargetAddress, ipAddress},
                                                        {F::TargetDiscrimination, discrimination},
                                                        {F::MessageID, messageId}}));
}

bool TKestrelMesh::SendMenuCheck(const std::string& machineName, const std::string& discrimination)
{
    const std::string target = ResolveTarget(machineName);
    if (target.empty() || !loginStates_)
        return false;
    return SendText(OwnMessage(MessageType::MenuCheck, {{F::TargetAddress, target},
                                                        {F::TargetDiscrimination, discrimination}}));
}

bool TKestrelMesh::SendInputReturn(const std::string& inputDiscrimination, const std::string& inputReturn,
                                   const std::string& machineName, const std::string& discrimination)
{
    const std::string target = ResolveTarget(machineName);
    if (target.empty() || !loginStates_)
        return false;
    return SendText(OwnMessage(MessageType::InputReturn, {{F::TargetAddress, target},
                                                          {F::TargetDiscrimination, discrimination},
                                                          {F::InputDiscrimination, inputDiscrimination},
                                                          {F::InputReturn, inputReturn}}));
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
    if (!SendText(OwnMessage(MessageType::Message, {{F::TargetAddress, target},
                                                    {F::TargetDiscrimination, discrimination},
                                                    {F::MessageID, messageId},
                                                    {F::Message, message},
                                                    {F::Letter, BoolText(letter)}})))
        return false;
    sendHistory_[static_cast<std::size_t>(number)] = {message, messageId, machineName, discrimination};
    backend_.SetTimer(number, timeoutMs);
    return true;
}

}  // namespace kiv
