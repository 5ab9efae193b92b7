// The KestrelMesh message types and the layout of their fields: which value stands at which
// position behind the type tag (field 0). Receiving reads the fields by name through the
// layout, and sending builds them in its order, so the two sides read one table.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "MeshWire.h"

namespace kiv {

namespace mesh_tags {
inline constexpr const char* Login = "KMMESSAGE:LOGIN";
inline constexpr const char* LoginOk = "KMMESSAGE:LOGIN_OK";
inline constexpr const char* InfoChange = "KMMESSAGE:INFO_CHANGE";
inline constexpr const char* Logout = "KMMESSAGE:LOGOUT";
inline constexpr const char* OpenCheck = "KMMESSAGE:OPEN_CHECK";
inline constexpr const char* HuzaiCheck = "KMMESSAGE:HUZAI_CHECK";
inline constexpr const char* HuzaiMessage = "KMMESSAGE:HUZAI_MESSAGE";
inline constexpr const char* MenuCheck = "KMMESSAGE:MENU_CHECK";
inline constexpr const char* MenuNothing = "KMMESSAGE:MENU_NOTHING";
inline constexpr const char* Message = "KMMESSAGE:MESSAGE";
inline constexpr const char* MessageOk = "KMMESSAGE:MESSAGE_OK";
inline constexpr const char* InputSelect = "KMMESSAGE:INPUT_SELECT";
inline constexpr const char* InputLine = "KMMESSAGE:INPUT_LINE";
inline constexpr const char* InputText = "KMMESSAGE:INPUT_TEXT";
inline constexpr const char* InputReturn = "KMMESSAGE:INPUT_RETURN";
inline constexpr const char* InputMessage = "KMMESSAGE:INPUT_MESSAGE";
inline constexpr const char* ChatMessage = "KMMESSAGE:CHAT_MESSAGE";
}  // namespace mesh_tags

namespace mesh {

// What a field holds. TargetAddress and TargetDiscrimination name the peer a message is
// meant for; HandleName to FTPPortNo are the sender's own values.
enum class Field : std::uint8_t {
    TargetAddress,
    TargetDiscrimination,
    HandleName,
    MachineName,
    IPAddress,
    Discrimination,
    Version,
    Absence,
    Menu,
    Chat,
    FTPPortNo,
    MessageID,
    Message,
    Letter,
    AbsenceMessage,
    SelectDiscrimination,
    SelectList,
    SelectReturn,
    LineDiscrimination,
    MessageLine,
    Password,
    TextDiscrimination,
    InputDiscrimination,
    InputReturn,
    Unread,  // a position no receiver reads
};
inline constexpr std::size_t kFieldKinds = static_cast<std::size_t>(Field::Unread) + 1;
inline constexpr std::size_t kMaxLayoutFields = 11;  // LOGIN_OK's

enum class MessageType : std::uint8_t {
    Login,
    LoginOk,
    InfoChange,
    Logout,
    OpenCheck,
    HuzaiCheck,
    HuzaiMessage,
    MenuCheck,
    MenuNothing,
    Message,
    MessageOk,
    InputSelect,
    InputLine,
    InputText,
    InputReturn,
    InputMessage,
    ChatMessage,
};

class MessageLayout {
public:
    constexpr MessageLayout(MessageType type, std::string_view tag, std::initializer_list<Field> fields)
        : type_(type), tag_(tag)
    {
        for (const Field field : fields) {
            order_[count_++] = field;
            position_[static_cast<std::size_t>(field)] = static_cast<std::uint8_t>(count_);
        }
    }
    constexpr MessageType Type() const { return type_; }
    constexpr std::string_view Tag() const { return tag_; }
    // Fields 1 to Count() behind the tag.
    constexpr std::size_t Count() const { return count_; }
    constexpr Field At(std::size_t position) const { return order_[position - 1]; }
    // The position of a field; 0 when the type carries none.
    constexpr std::size_t Position(Field field) const { return position_[static_cast<std::size_t>(field)]; }
    // Meant for one peer only: its first two fields name it.
    constexpr bool Addressed() const { return count_ >= 2 && order_[0] == Field::TargetAddress; }

private:
    MessageType type_;
    std::string_view tag_;
    std::array<Field, kMaxLayoutFields> order_{};
    std::array<std::uint8_t, kFieldKinds> position_{};
    std::size_t count_ = 0;
};

namespace layout_fields {
using enum Field;
inline constexpr std::array<MessageLayout, 17> kMessageLayouts{{
    {MessageType::Login, mesh_tags::Login,
     {MachineName, IPAddress, Discrimination, HandleName, Version, Absence, Menu, Chat, FTPPortNo}},
    {MessageType::LoginOk, mesh_tags::LoginOk,
     {TargetAddress, TargetDiscrimination, MachineName, IPAddress, Discrimination, HandleName, Version, Absence,
      Menu, Chat, FTPPortNo}},
    // Discrimination before IPAddress, unlike LOGIN.
    {MessageType::InfoChange, mesh_tags::InfoChange,
     {MachineName, Discrimination, IPAddress, HandleName, Version, Absence, Menu, Chat, FTPPortNo}},
    {MessageType::Logout, mesh_tags::Logout, {MachineName, Discrimination}},
    {MessageType::OpenCheck, mesh_tags::OpenCheck,
     {TargetAddress, TargetDiscrimination, HandleName, MachineName, Discrimination, MessageID}},
    // The asking peer's address and Discrimination; later fields are not read.
    {MessageType::HuzaiCheck, mesh_tags::HuzaiCheck, {TargetAddress, TargetDiscrimination, IPAddress, Discrimination}},
    {MessageType::HuzaiMessage, mesh_tags::HuzaiMessage,
     {TargetAddress, TargetDiscrimination, HandleName, MachineName, Discrimination, AbsenceMessage}},
    {MessageType::MenuCheck, mesh_tags::MenuCheck,
     {TargetAddress, TargetDiscrimination, HandleName, MachineName, IPAddress, Discrimination}},
    {MessageType::MenuNothing, mesh_tags::MenuNothing,
     {TargetAddress, TargetDiscrimination, HandleName, MachineName, Discrimination}},
    {MessageType::Message, mesh_tags::Message,
     {TargetAddress, TargetDiscrimination, HandleName, MachineName, IPAddress, Discrimination, MessageID, Message,
      Letter}},
    {MessageType::MessageOk, mesh_tags::MessageOk,
     {TargetAddress, TargetDiscrimination, HandleName, MachineName, Discrimination, MessageID}},
    {MessageType::InputSelect, mesh_tags::InputSelect,
     {TargetAddress, TargetDiscrimination, HandleName, MachineName, Discrimination, SelectDiscrimination, Message,
      SelectList, SelectReturn}},
    {MessageType::InputLine, mesh_tags::InputLine,
     {TargetAddress, TargetDiscrimination, HandleName, MachineName, Discrimination, LineDiscrimination, Message,
      MessageLine, Password}},
    {MessageType::InputText, mesh_tags::InputText,
     {TargetAddress, TargetDiscrimination, HandleName, MachineName, Discrimination, TextDiscrimination, Message}},
    {MessageType::InputReturn, mesh_tags::InputReturn,
     {TargetAddress, TargetDiscrimination, HandleName, MachineName, Discrimination, InputDiscrimination,
      InputReturn}},
    {MessageType::InputMessage, mesh_tags::InputMessage,
     {TargetAddress, TargetDiscrimination, HandleName, MachineName, Discrimination, Message}},
    {MessageType::ChatMessage, mesh_tags::ChatMessage,
     {HandleName, MachineName, Unread, Discrimination, MessageID, Message}},
}};
}  // namespace layout_fields
using layout_fields::kMessageLayouts;

constexpr const MessageLayout& LayoutOf(MessageType type)
{
    return kMessageLayouts[static_cast<std::size_t>(type)];
}

// The layout whose tag is exactly this text; null for none.
inline const MessageLayout* FindLayout(std::string_view tag)
{
    for (const auto& layout : kMessageLayouts)
        if (layout.Tag() == tag)
            return &layout;
    return nullptr;
}

// Values of a message to build, by field; a field given none is the empty text.
class FieldValues {
public:
    FieldValues() = default;
    FieldValues(std::initializer_list<std::pair<Field, std::string_view>> values)
    {
        for (const auto& [field, value] : values)
            Set(field, value);
    }
    void Set(Field field, std::string_view value) { values_[static_cast<std::size_t>(field)] = value; }
    std::string_view operator[](Field field) const { return values_[static_cast<std::size_t>(field)]; }

private:
    std::array<std::string_view, kFieldKinds> values_{};
};

// "tag&|f1&|f2..." of a type, its fields in the layout's order.
std::string BuildMessage(MessageType type, const FieldValues& values);

// The fields of a received message text, split once and read by name through the layout of
// its type. The views point into the text, which must outlive them.
class ReceivedFields {
public:
    explicit ReceivedFields(std::string_view text)
    {
        count_ = SplitFieldViews(kFieldSeparator, text, fields_.data(), fields_.size(), spare_);
        layout_ = FindLayout(fields_[0]);
    }
    // Null when field 0 is no type tag.
    const MessageLayout* Layout() const { return layout_; }
    // How many fields the text holds, the tag included (at most the longest layout's).
    std::size_t Count() const { return count_; }
    // A field of the type; the empty text when the message or its type lacks it.
    std::string_view operator[](Field field) const
    {
        const std::size_t at = layout_ ? layout_->Position(field) : 0;
        return at != 0 && at < count_ ? fields_[at] : std::string_view();
    }
    std::string Text(Field field) const { return std::string((*this)[field]); }
    ReceivedFields(const ReceivedFields&) = delete;
    ReceivedFields& operator=(const ReceivedFields&) = delete;

private:
    std::array<std::string_view, kMaxLayoutFields + 1> fields_{};
    std::size_t count_ = 0;
    std::vector<std::string> spare_;
    const MessageLayout* layout_ = nullptr;
};

}  // namespace mesh
}  // namespace kiv
