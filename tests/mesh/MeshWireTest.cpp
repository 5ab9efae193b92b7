#include "MeshWire.h"

#include <gtest/gtest.h>

#include "MeshMessages.h"
#include "TextHelpers.h"

namespace kiv::mesh {
namespace {

TEST(SplitField, PlainSplitAndPastTheEnd)
{
    const std::string logout = "KMMESSAGE:LOGOUT&|PC01&|Kiv";
    EXPECT_EQ(GetField(logout, 0), "KMMESSAGE:LOGOUT");
    EXPECT_EQ(GetField(logout, 1), "PC01");
    EXPECT_EQ(GetField(logout, 2), "Kiv");
    EXPECT_EQ(GetField(logout, 3), "");
    EXPECT_EQ(GetField(logout, 255), "");
    EXPECT_EQ(GetField("", 0), "");
    EXPECT_EQ(GetField("A&|&|C", 1), "");
    EXPECT_EQ(GetField("A&|&|C", 2), "C");
    EXPECT_EQ(SplitField("&:", "a&:b&:c", 1), "b");
}

// A field ending in "&" next to one starting with "|": deleting the first separator brings
// "&" and "|" together, and the second search finds that new separator.
TEST(SplitField, DeletionMakesNewSeparators)
{
    const std::string text = "a&" "&|" "|b";
    EXPECT_EQ(GetField(text, 0), "a&");
    EXPECT_EQ(GetField(text, 1), "");  // a plain split would give "|b"
    EXPECT_EQ(GetField(text, 2), "b");  // and nothing here
    EXPECT_EQ(GetField("&&||", 0), "&");
    EXPECT_EQ(GetField("&&||", 1), "");
}

// All fields in one pass read exactly what SplitField reads, one index at a time: every text of
// up to eight bytes of "&", "|" and "a", with separators of two and three bytes.
TEST(SplitField, AllFieldsAtOnceReadLikeOneAtATime)
{
    std::vector<std::string> texts{""};
    for (std::size_t begin = 0, length = 1; length <= 8; ++length) {
        const std::size_t end = texts.size();
        for (std::size_t k = begin; k < end; ++k)
            for (char c : {'&', '|', 'a'})
                texts.push_back(texts[k] + c);
        begin = end;
    }
    for (const std::string separator : {"&|", "&|&", "&:"}) {
        for (const auto& text : texts) {
            const auto fields = SplitFields(separator, text, 9);
            ASSERT_LE(fields.size(), 10u);
            std::string_view views[10];
            std::vector<std::string> spare;
            ASSERT_EQ(SplitFieldViews(separator, text, views, 10, spare), fields.size()) << separator << " " << text;
            for (int i = 0; i <= 9; ++i) {
                const std::string one = static_cast<std::size_t>(i) < fields.size() ? fields[i] : "";
                ASSERT_EQ(one, SplitField(separator, text, i)) << separator << " " << text << " " << i;
                if (static_cast<std::size_t>(i) < fields.size()) {
                    ASSERT_EQ(views[i], one) << separator << " " << text << " " << i;
                }
            }
        }
    }
    EXPECT_EQ(SplitFields("&|", "KMMESSAGE:LOGOUT&|PC01&|Kiv", 9),
              (std::vector<std::string>{"KMMESSAGE:LOGOUT", "PC01", "Kiv"}));
}

// Every type built through its layout reads back field by field through the same layout, and
// comes out as the fields in the layout's order.
TEST(MessageLayouts, BuiltFieldsReadBackByName)
{
    for (const auto& layout : kMessageLayouts) {
        FieldValues values;
        std::vector<std::string> inOrder;
        std::vector<std::string> texts(layout.Count() + 1);
        for (std::size_t position = 1; position <= layout.Count(); ++position) {
            texts[position] = "v" + std::to_string(position);
            values.Set(layout.At(position), texts[position]);
            inOrder.push_back(texts[position]);
        }
        const std::string built = BuildMessage(layout.Type(), values);
        EXPECT_EQ(built, BuildMessage(std::string(layout.Tag()), inOrder));
        const ReceivedFields read(built);
        ASSERT_EQ(read.Layout(), &layout) << layout.Tag();
        for (std::size_t position = 1; position <= layout.Count(); ++position)
            EXPECT_EQ(read[layout.At(position)], texts[position]) << layout.Tag() << " " << position;
        // A field the type does not carry, or one the message lacks, reads as empty.
        const std::size_t password = layout.Position(Field::Password);
        EXPECT_EQ(read[Field::Password], password ? texts[password] : "");
        const ReceivedFields shortened(layout.Tag());
        EXPECT_EQ(shortened[layout.At(1)], "");
    }
    EXPECT_EQ(ReceivedFields("KMMESSAGE:NOTHING&|a").Layout(), nullptr);
    EXPECT_EQ(ReceivedFields("KMMESSAGE:LOGOUT ").Layout(), nullptr);
}

TEST(InetNtoa, DottedDecimalWithoutLeadingZeros)
{
    EXPECT_EQ(InetNtoa(0), "0.0.0.0");
    EXPECT_EQ(InetNtoa(0xFFFFFFFFu), "255.255.255.255");
    EXPECT_EQ(InetNtoa(0xC0A80005u), "192.168.0.5");
    EXPECT_EQ(InetNtoa(0x0A006409u), "10.0.100.9");
    EXPECT_EQ(InetNtoa(0x0114FF00u), "1.20.255.0");
}

TEST(NormalizeAddress, AcceptsWhatInetAddrAccepts)
{
    struct Case {
        const char* in;
        bool ok;
        const char* out;
    } cases[] = {
        {"10.1", true, "10.0.0.1"},
        {"192.168.0.5", true, "192.168.0.5"},
        {"192.168.000.010", true, "192.168.0.8"},  // octal parts
        {"0x7f.1", true, "127.0.0.1"},
        {"10.1.2", true, "10.1.0.2"},
        {"3232235525", true, "192.168.0.5"},
        {"PC01", false, "PC01"},
        {"", false, ""},
        {"255.255.255.255", false, "255.255.255.255"},
        {"256.1.1.1", false, "256.1.1.1"},
        {"1.2.3.4.5", false, "1.2.3.4.5"},
        {"1..2", false, "1..2"},
        {"1.2.3.", false, "1.2.3."},
        {"09.1.1.1", false, "09.1.1.1"},
        {"99999999999999999999", false, "99999999999999999999"},
    };
    for (const auto& c : cases) {
        std::string text = c.in;
        EXPECT_EQ(NormalizeAddress(text), c.ok) << c.in;
        EXPECT_EQ(text, c.out) << c.in;
    }
}

TEST(ParseInteger, DecimalWithLeadingBlanksOnly)
{
    EXPECT_EQ(ParseInteger("  201"), 201);
    EXPECT_EQ(ParseInteger("-7"), -7);
    EXPECT_EQ(ParseInteger("+7"), 7);
    EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
    EXPECT_EQ(ParseInteger("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", "   ", "-", "1a", "abc", "1 ", "2147483648", "0x10", "99999999999999999999"})
        EXPECT_FALSE(ParseInteger(bad).has_value()) << bad;
    EXPECT_EQ(ParseIntegerOr("x", 0), 0);
}

TEST(MessageIdentifier, BlankPaddedFields)
{
    const std::string id = MakeIdentifier({2026, 12, 6, 9, 5, 3, 12}, 4711);
    EXPECT_EQ(id, "202612 6 9 5 3 12 4711");
    EXPECT_EQ(id.size(), kIdentifierLength);
    EXPECT_EQ(MakeIdentifier({2026, 1, 31, 23, 59, 59, 999}, 99999).size(), kIdentifierLength);
}

TEST(RecvTime, TwelveHourClockWithDesignator)
{
    EXPECT_EQ(FormatRecvTime({2026, 12, 6, 9, 5, 3, 0}), "2026年12月06日 午前 9時05分03秒");
    EXPECT_EQ(FormatRecvTime({2026, 1, 2, 0, 0, 0, 0}), "2026年01月02日 午前 12時00分00秒");
    EXPECT_EQ(FormatRecvTime({2026, 1, 2, 12, 30, 0, 0}), "2026年01月02日 午後 12時30分00秒");
    EXPECT_EQ(FormatRecvTime({2026, 1, 2, 23, 1, 9, 0}), "2026年01月02日 午後 11時01分09秒");
}

TEST(Framing, EmptyMessageIsFlagAndFiveByteLength)
{
    EXPECT_EQ(FrameText("", false), "0    0");
    const auto datagrams = CutDatagrams(FrameText("", false));
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(datagrams[0], std::string("\x01" "0    0", 7) + '\0');
    EXPECT_EQ(UnframePieces({"0    0"}), "");
}

TEST(Framing, DatagramSizesAtPieceBoundaries)
{
    struct Case {
        std::size_t framed;
        std::vector<std::size_t> sizes;
    } cases[] = {
        {510, {512}},
        {511, {512, 3}},
        {1020, {512, 512}},
        {1021, {512, 512, 3}},
    };
    for (const auto& c : cases) {
        const std::string text(c.framed - 6, 'x');  // flag and length field take 6 bytes
        const std::string framed = FrameText(text, false);
        ASSERT_EQ(framed.size(), c.framed);
        const auto datagrams = CutDatagrams(framed);
        std::vector<std::size_t> sizes;
        std::vector<std::string> pieces;
        for (std::size_t k = 0; k < datagrams.size(); ++k) {
            sizes.push_back(datagrams[k].size());
            EXPECT_EQ(static_cast<unsigned char>(datagrams[k][0]), k + 1);
            EXPECT_EQ(datagrams[k].back(), '\0');
            pieces.emplace_back(DatagramPiece(datagrams[k].data(), datagrams[k].size()));
        }
        EXPECT_EQ(sizes, c.sizes) << c.framed;
        EXPECT_EQ(UnframePieces(pieces), text);
    }
}

TEST(Framing, MoreThan255DatagramsAreRefused)
{
    EXPECT_EQ(CutDatagrams(std::string(255 * kPieceSize, 'x')).size(), 255u);
    EXPECT_TRUE(CutDatagrams(std::string(255 * kPieceSize + 1, 'x')).empty());
}

TEST(Framing, LineBreaksAndBackslashBar)
{
    struct Case {
        std::string sent, received;
    } cases[] = {
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"lone\rcr\nlf", "lone\rcr\nlf"},
        {"x\\|y", "x\r\ny"},
        {"\x95\x5C|", "\x95\r\n"},  // a Shift-JIS character ending in 0x5C, then "|"
    };
    for (const auto& c : cases)
        for (bool security : {false, true}) {
            const std::string framed = FrameText(c.sent, security);
            EXPECT_EQ(framed[0], security ? '1' : '0');
            EXPECT_EQ(framed.find("\r\n"), std::string::npos);
            std::vector<std::string> pieces;
            for (const auto& d : CutDatagrams(framed))
                pieces.emplace_back(DatagramPiece(d.data(), d.size()));
            EXPECT_EQ(UnframePieces(pieces), c.received);
        }
}

TEST(Framing, ScrambledFrameIsHexOfThePlainFrame)
{
    const std::string framed = FrameText("Kiv\r\n", true);
    EXPECT_EQ(UnscrambleText(framed.substr(1)), "    5Kiv\\|");
}

TEST(Unframing, IncompleteOrOddInput)
{
    struct Case {
        std::vector<std::string> pieces;
        std::optional<std::string> message;
    } cases[] = {
        {{}, std::nullopt},
        {{""}, std::nullopt},
        {{"0"}, std::nullopt},
        {{"0    "}, std::nullopt},          // blank length
        {{"0  abc"}, std::nullopt},         // not a number
        {{"0   10abc"}, std::nullopt},      // announces more than arrived
        {{"0   -3ab"}, "ab"},               // negative: nothing is missing
        {{"0    2abcd"}, "abcd"},           // bytes beyond the length stay
        {{"1ZZ00"}, std::nullopt},          // not hexadecimal
        {{"1"}, std::nullopt},
        {{"X    1a"}, "a"},                 // any flag but "1" is plain text
        {{"0    ", "3", "abc"}, "abc"},      // length field cut across pieces
        {{"", "    3abc"}, std::nullopt},   // missing first piece: the flag is lost
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(UnframePieces(cases[i].pieces), cases[i].message) << i;
}

TEST(Unframing, JointsCarryNoLineBreaks)
{
    // A piece ending in CR and the next starting with LF: the joints go, the pair from the
    // two pieces goes as well, as every CR LF pair does.
    EXPECT_EQ(UnframePieces({"0    4ab\r", "\ncd"}), "abcd");
}

// The first datagram alone tells how many datagrams a sender sends and how long each is.
TEST(Unframing, FirstPieceGivesTheDatagramLayout)
{
    for (bool security : {false, true}) {
        for (std::size_t length : {0u, 1u, 498u, 499u, 504u, 505u, 1015u, 5000u, 64000u, 99999u}) {
            const auto datagrams = CutDatagrams(FrameText(std::string(length, 'x'), security));
            if (datagrams.empty())
                continue;  // too long to number
            const auto framed = ReadFirstPiece(DatagramPiece(datagrams[0].data(), datagrams[0].size())).framed;
            ASSERT_TRUE(framed) << security << " " << length;
            EXPECT_EQ(PieceCount(*framed), datagrams.size()) << security << " " << length;
            for (std::size_t k = 0; k < datagrams.size(); ++k)
                EXPECT_EQ(PieceSize(*framed, k), datagrams[k].size() - 2) << security << " " << length << " " << k;
            EXPECT_EQ(PieceSize(*framed, datagrams.size()), 0u);
        }
    }
    // Scrambled, 99,999 bytes would need more datagrams than the sequence byte numbers.
    EXPECT_FALSE(ReadFirstPiece("1" + ScrambleText("99999", 80)).framed);
    EXPECT_FALSE(ReadFirstPiece("0  x12").framed);
    EXPECT_FALSE(ReadFirstPiece("\r\n\r\n").framed);
    EXPECT_EQ(ReadFirstPiece("0   -3ab").framed, 6u);  // negative: complete with the first piece
}

// Unframing step by step, the slow way: join with CR LF, delete CR LF pairs by searching
// from the start each time, the flag, unscrambling, "\|" back to CR LF; then the length.
std::string DecodeStepByStep(const std::vector<std::string>& pieces, char& flag)
{
    const auto replaceFromStart = [](const std::string& oldText, const std::string& newText, std::string text) {
        for (auto pos = text.find(oldText); pos != std::string::npos; pos = text.find(oldText))
            text.replace(pos, oldText.size(), newText);
        return text;
    };
    std::string text;
    for (const auto& p : pieces)
        text += p + "\r\n";
    text = replaceFromStart("\r\n", "", text);
    if (text.empty())
        return text;
    flag = text[0];
    text.erase(0, 1);
    if (flag == '1')
        text = UnscrambleText(text);
    return replaceFromStart("\\|", "\r\n", text);
}

std::optional<std::string> UnframeStepByStep(const std::vector<std::string>& pieces)
{
    char flag = 0;
    const std::string text = DecodeStepByStep(pieces, flag);
    if (text.size() < 5)
        return std::nullopt;
    const auto length = ParseInteger(text.substr(0, 5));
    if (!length || static_cast<std::int64_t>(text.size()) < *length + 5)
        return std::nullopt;
    return text.substr(5);
}

TEST(Unframing, SameResultsAsUnframingStepByStep)
{
    const std::string bits[] = {"\r", "\n", "\r\n", "\\", "|", "\\|", "0", "1", " ", "3", "-", "A", "x", "64"};
    std::uint32_t seed = 99;
    const auto draw = [&seed](std::uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % bound;
    };
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::string> pieces(1 + draw(4));
        for (auto& piece : pieces) {
            const std::uint32_t n = draw(8);
            for (std::uint32_t i = 0; i < n; ++i)
                piece += bits[draw(std::size(bits))];
        }
        if (draw(2))
            pieces[0] = (draw(2) ? "0    " : "1") + pieces[0];
        ASSERT_EQ(UnframePieces(pieces), UnframeStepByStep(pieces)) << round;
    }
}

// A first piece gives the framed size its length field describes, and the message when the
// piece is all of it, as unframing step by step does: random pieces, the first datagrams of
// real messages, and scrambled ones spoilt near their end.
TEST(Unframing, FirstPieceReadOnceReadsLikeTheTwoSteps)
{
    std::vector<std::string> firsts;
    const std::string bits[] = {"\r", "\n", "\\", "|", "\\|", "0", "1", " ", "3", "-", "A", "x", "64"};
    std::uint32_t seed = 7;
    const auto draw = [&seed](std::uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % bound;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string piece = draw(2) ? (draw(2) ? "0    " : "1") : "";
        for (std::uint32_t i = 0, n = draw(10); i < n; ++i)
            piece += bits[draw(std::size(bits))];
        firsts.push_back(piece);
    }
    for (bool security : {false, true}) {
        for (std::size_t length : {0u, 1u, 200u, 249u, 250u, 504u, 505u, 3000u}) {
            const auto datagrams = CutDatagrams(FrameText(std::string(length, 'x') + "\r\n", security));
            std::string piece(DatagramPiece(datagrams[0].data(), datagrams[0].size()));
            firsts.push_back(piece);
            piece[piece.size() - 2] = 'G';
            firsts.push_back(piece);
        }
    }
    for (const auto& piece : firsts) {
        char flag = 0;
        const std::string decoded = DecodeStepByStep({piece}, flag);
        std::optional<std::size_t> framed;
        if (decoded.size() >= 5) {
            if (const auto length = ParseInteger(decoded.substr(0, 5))) {
                const std::size_t plain = 5 + static_cast<std::size_t>(std::max(0, *length));
                const std::size_t size = 1 + (flag == '1' ? 2 + 2 * plain : plain);
                if (size <= kMaxPieces * kPieceSize)
                    framed = size;
            }
        }
        const auto read = ReadFirstPiece(piece);
        ASSERT_EQ(read.framed, framed) << piece;
        const bool alone = framed && PieceCount(*framed) == 1;
        ASSERT_EQ(read.message, alone ? UnframeStepByStep({piece}) : std::nullopt) << piece;
    }
}

}  // namespace
}  // namespace kiv::mesh
