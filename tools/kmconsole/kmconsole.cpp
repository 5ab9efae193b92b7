// kmconsole: a KestrelMesh peer for the terminal. Logs in under a handle name, shows the
// peers it sees, asks a peer for its menu and answers its prompts. Japanese texts are shown
// as UTF-8 and typed answers sent as Shift-JIS. With --script it prints one tab-separated
// line per event and takes its answers from the command line. It sends a file to a peer that
// receives files (send-file), and receives files into a folder of its own choosing (receive).
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Console.h"
#include "ConsoleOptions.h"
#include "KestrelMesh.h"
#include "OpenFile.h"
#include "SystemMeshBackend.h"
#include "TextHelpers.h"
#include "Terminal.h"
#include "WebMain.h"

using namespace kmconsole;

namespace {

const char kUsage[] =
    "usage: kmconsole [options]\n"
    "  --menu TARGET          ask TARGET (computer name or address) for its menu\n"
    "  --script               one tab-separated line per event; answers from --answer\n"
    "  --answer TEXT          next answer to a prompt (#N picks item N of a list); repeatable\n"
    "  --wait SECONDS         stop after this time (script mode default 5)\n"
    "  --until-done           stop when a dialogue or a file transfer ends\n"
    "  --pick                 list the peers offering a menu of --menu-disc's kind, numbered;\n"
    "                         the one chosen is asked for its menu (interactive)\n"
    "  send-file PEER FILE [COMMENT]\n"
    "                         send FILE to PEER (computer name) once it is seen\n"
    "  --send-disc NAME       only to PEER's program of this discrimination\n"
    "  receive FOLDER         accept files into FOLDER (existing names are replaced)\n"
    "  --ftp-port N           TCP port to receive files on (default 52000 with receive)\n"
    "  --send-byte N          bytes per send of a file (default 65536; the component's own is\n"
    "                         4096, and no send is larger than the largest UDP datagram)\n"
    "  --recv-byte N          bytes per read of a received file (default 262144; the\n"
    "                         component's own is 8192)\n"
    "  web [--listen ADDRESS:PORT] [--token TOKEN]\n"
    "                         control the Kivs from a browser (kmconsole web --help)\n"
    "and how it joins the mesh (handle name default kmconsole):\n";
const char kCommands[] =
    "interactive commands: peers | menu [TARGET [DISC]] | send-file PEER FILE [COMMENT] | quit;\n"
    "a prompt takes the next line\n";

struct Options {
    MeshOptions mesh{"kmconsole"};
    std::optional<std::string> menuTarget;
    bool script = false, untilDone = false, pick = false;
    std::deque<std::string> answers;
    std::optional<double> wait;
    // File transfer: what to send (paths as typed, UTF-8), where to receive.
    std::optional<std::string> sendPeer, sendFile, receiveFolder;
    std::string sendComment, sendDisc;
    std::optional<int> ftpPort;
    // Large sends and reads: a chunk costs a round of the event loop, the bytes nothing more.
    int sendByte = 65536, recvByte = 262144;
};

// Nothing when the options are usable, else what is wrong (empty: show the usage only).
std::optional<std::string> ParseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "send-file") {
            if (i + 2 >= argc)
                return std::string();
            o.sendPeer = argv[++i];
            o.sendFile = argv[++i];
            if (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0)
                o.sendComment = Utf8ToSjis(argv[++i]);
            continue;
        }
        if (ParseMeshFlag(a, o.mesh))
            continue;
        if (a == "--script")
            o.script = true;
        else if (a == "--until-done")
            o.untilDone = true;
        else if (a == "--pick")
            o.pick = true;
        else if (a == "--help" || a == "-h" || i + 1 >= argc)
            return std::string();
        else if (const std::string v = argv[++i]; const auto problem = ParseMeshOption(a, v, o.mesh)) {
            if (!problem->empty())
                return problem;
        } else if (a == "--menu")
            o.menuTarget = v;
        else if (a == "--answer")
            o.answers.push_back(Utf8ToSjis(v));
        else if (a == "--wait")
            o.wait = std::atof(v.c_str());
        else if (a == "receive" || a == "--receive")
            o.receiveFolder = v;
        else if (a == "--ftp-port")
            o.ftpPort = std::atoi(v.c_str());
        else if (a == "--send-byte")
            o.sendByte = std::atoi(v.c_str());
        else if (a == "--recv-byte")
            o.recvByte = std::atoi(v.c_str());
        else if (a == "--send-disc")
            o.sendDisc = v;
        else
            return std::string();
    }
    return std::nullopt;
}

// A prompt waiting for its answer, and where the answer goes.
struct Prompt {
    bool select = false;
    std::string tag;
    std::vector<std::string> returns;
    std::string machine, disc;
    bool password = false;
};

class Console {
public:
    Console(Options options) : o_(std::move(options))
    {
        ApplyMeshOptions(o_.mesh, backend_, kms_);
        kms_.SetFTPPortNo(o_.receiveFolder ? o_.ftpPort.value_or(52000) : o_.ftpPort.value_or(0));
        if (o_.sendByte > 0)
            kms_.SetFTPSendByte(o_.sendByte);
        if (o_.recvByte > 0)
            kms_.SetFTPRecvByte(o_.recvByte);
        Wire();
    }

    int Run()
    {
        if (o_.sendFile && !kiv::FileSize(*o_.sendFile)) {
            std::fprintf(stderr, "kmconsole: cannot read %s\n", o_.sendFile->c_str());
            return 1;
        }
        if (!kms_.Start()) {
            std::fprintf(stderr, "kmconsole: cannot open UDP port %d or TCP port %d\n", o_.mesh.port, kms_.FTPPortNo());
            return 1;
        }
        kms_.Login();
        Line({"READY", kms_.MachineName(), kms_.IPAddress(), kms_.Discrimination()},
             "logged in as " + SjisToUtf8(kms_.HandleName()) + " on " + kms_.MachineName() + " (" +
                 kms_.IPAddress() + ")");
        if (!o_.script)
            terminal_.WatchInput([this](const std::string& line) { Command(line); }, [this] { InputEnded(); });
        std::optional<std::uint64_t> end;
        const double wait = o_.wait.value_or(o_.script ? 5.0 : -1.0);
        if (wait >= 0)
            end = backend_.NowMilliseconds() + static_cast<std::uint64_t>(wait * 1000);
        std::uint64_t nextMenuTry = 0, nextSendTry = 0;
        // Peers answer a login within a moment: the list is shown once they had the time.
        std::uint64_t nextPickList = backend_.NowMilliseconds() + 1500;
        while (!StopRequested() && !quit_) {
            const std::uint64_t now = backend_.NowMilliseconds();
            if (end && now >= *end)
                break;
            if (o_.pick && !picked_ && !choosing_ && now >= nextPickList) {
                ListMenuPeers();
                nextPickList = now + 3000;
            }
            // The menu question needs the target's address: by name, once its LOGIN_OK is in.
            if (o_.menuTarget && now >= nextMenuTry) {
                if (kms_.SendMenuCheck(*o_.menuTarget, o_.mesh.menuDisc))
                    o_.menuTarget.reset();
                nextMenuTry = now + 200;
            }
            // Likewise a file goes out once the receiver's LOGIN_OK has told its port.
            if (o_.sendFile && now >= nextSendTry) {
                if (StartSend(*o_.sendPeer, o_.sendDisc, *o_.sendFile, o_.sendComment))
                    o_.sendFile.reset();
                nextSendTry = now + 200;
            }
            backend_.RunOnce(200);
        }
        terminal_.EchoOn();
        if (o_.sendFile)
            Line({"SEND_ERROR", "-", "peer not seen"}, "no file-receiving peer " + *o_.sendPeer + " was seen");
        kms_.Stop();
        Line({"STOPPED"}, "logged out");
        return failed_ || o_.sendFile.has_value() ? 1 : 0;
    }

private:
    // Prints one event: a machine-readable line in script mode, a readable one otherwise.
    void Line(const std::vector<std::string>& fields, const std::string& human)
    {
        if (o_.script) {
            std::string out;
            for (std::size_t i = 0; i < fields.size(); ++i)
                out += (i ? "\t" : "") + Escape(SjisToUtf8(fields[i]));
            std::cout << out << std::endl;
        } else if (!human.empty()) {
            std::cout << human << std::endl;
        }
    }
    // A peer that came, changed or went: "+ Taro (PC1, 192.168.0.20, KMC)".
    void Peer(const char* tag, const char* sign, const kiv::PeerInfo& p, const char* more = "")
    {
        Line({tag, p.HandleName, p.MachineName, p.IPAddress, p.Discrimination},
             sign + SjisToUtf8(p.HandleName) + " (" + p.MachineName + ", " + p.IPAddress + ", " + p.Discrimination +
                 ")" + more);
    }

    void Wire()
    {
        kms_.OnLogin = [this](const kiv::PeerInfo& p) { Peer("LOGIN", "+ ", p, p.Menu ? " offers a menu" : ""); };
        kms_.OnInfoChange = [this](const kiv::PeerInfo& p) { Peer("INFO_CHANGE", "~ ", p); };
        kms_.OnLogout = [this](const kiv::PeerInfo& p) { Peer("LOGOUT", "- ", p); };
        kms_.OnMenuNothing = [this](auto& h, auto& m, auto& d) {
            Line({"MENU_NOTHING", h, m, d}, m + " (" + d + ") offers no menu");
            Done();
        };
        kms_.OnInputSelect = [this](auto& msg, auto& list, auto& ret, auto& tag, auto&, auto& m, auto& d) {
            const auto items = SplitItems(list);
            std::string human = "\n" + Shown(msg) + "\n";
            for (std::size_t i = 0; i < items.size(); ++i)
                human += "  " + std::to_string(i + 1) + ") " + SjisToUtf8(items[i]) + "\n";
            human += "choose a number: ";
            Line({"INPUT_SELECT", tag, msg, list, ret}, human);
            Ask({true, tag, SplitItems(ret), m, d, false});
        };
        kms_.OnInputLine = [this](auto& msg, auto& label, auto& tag, auto&, auto& m, auto& d, bool password) {
            Line({"INPUT_LINE", tag, msg, label, password ? "1" : "0"},
                 "\n" + Shown(msg) + "\n" + SjisToUtf8(label) + ": ");
            Ask({false, tag, {}, m, d, password});
        };
        kms_.OnInputText = [this](auto& msg, auto& tag, auto&, auto& m, auto& d) {
            Line({"INPUT_TEXT", tag, msg}, "\n" + Shown(msg) + "\ntext: ");
            Ask({false, tag, {}, m, d, false});
        };
        kms_.OnInputMessage = [this](auto& msg, auto&, auto& m, auto& d, auto&) {
            Line({"INPUT_MESSAGE", msg, m, d}, "\n" + Shown(msg) + "\n");
            Done();
        };
        kms_.OnMessage = [this](auto& msg, auto& id, bool, auto& h, auto& m, auto& d, auto& time) {
            Line({"MESSAGE", msg, id, h, m, d, time}, "message from " + SjisToUtf8(h) + " (" + m + ") at " +
                                                         SjisToUtf8(time) + ":\n" + Shown(msg));
        };
        kms_.OnAbsenceMessage = [this](auto& text, auto& h, auto& m, auto& d, auto&) {
            Line({"ABSENCE", text, h, m, d}, SjisToUtf8(h) + " is away: " + Shown(text));
        };
        kms_.OnInputReturn = [this](const kiv::MeshRequest& r) {
            Line({"INPUT_RETURN", r.Key, r.Answer, r.HandleName, r.MachineName, r.Discrimination},
                 "answer " + r.Key + "=" + SjisToUtf8(r.Answer));
        };
        kms_.OnMenuRequest = [this](const kiv::MeshRequest& r) {
            Line({"MENU_CHECK", r.HandleName, r.MachineName, r.Discrimination},
                 SjisToUtf8(r.HandleName) + " (" + r.MachineName + ") asks for a menu");
        };
        kms_.OnErrorRecvOverflow = [this] { Line({"OVERFLOW"}, "receive slots full: datagram dropped"); };
        WireFiles();
    }

    // Paths are UTF-8, as typed and as the component opens them; the fields of a line are
    // Shift-JIS like every other text.
    static std::string PathField(const std::string& path) { return Utf8ToSjis(path); }

    bool StartSend(const std::string& peer, const std::string& disc, const std::string& path,
                   const std::string& comment)
    {
        const std::string name = Utf8ToSjis(kiv::PathFileName(path));
        return kms_.SendFile(peer, disc, path, comment, name) != kiv::mesh::MeshBackend::kNoSocket;
    }

    void Progress(const char* verb, std::int64_t size, std::int64_t total)
    {
        if (o_.script || total <= 0)
            return;
        const int tenth = static_cast<int>(size * 10 / total);
        if (tenth == lastTenth_)
            return;
        lastTenth_ = tenth;
        std::cout << "  " << verb << " " << tenth * 10 << "% (" << size << " / " << total << " bytes)" << std::endl;
    }

    void WireFiles()
    {
        kms_.OnFileSendStart = [this](auto, auto& h, auto& m, auto& d, auto& f) {
            lastTenth_ = -1;
            Line({"SEND_START", h, m, d, PathField(f)}, SjisToUtf8(h) + " (" + m + ") accepts " + SjisToUtf8(PathField(f)));
        };
        kms_.OnFileSending = [this](auto, auto&, auto&, auto&, auto&, std::int64_t size, std::int64_t total) {
            Progress("sent", size, total);
        };
        kms_.OnFileSendEnd = [this](auto, auto& h, auto& m, auto& d, auto& f) {
            Line({"SEND_END", h, m, d, PathField(f)}, SjisToUtf8(h) + " (" + m + ") has received " + SjisToUtf8(PathField(f)));
            Done();
        };
        kms_.OnErrorFileSend = [this](auto, auto& h, auto& m, auto& d, auto& f, int error) {
            const std::string why = FileSendErrorText(error);
            Line({"SEND_ERROR", std::to_string(error), why, h, m, d, PathField(f)},
                 "sending " + SjisToUtf8(PathField(f)) + " to " + m + " failed: " + why);
            failed_ = true;
            Done();
        };
        if (!o_.receiveFolder)
            return;
        kms_.OnFileRecvStart = [this](auto, auto& h, auto& m, auto& d, std::string& name, std::int64_t size,
                                      auto& comment, bool& cancel) {
            const auto safe = SafeReceiveName(name);
            if (!safe) {
                Line({"RECV_REFUSED", h, m, d, name}, "refused a file named \"" + SjisToUtf8(name) + "\" from " + m);
                cancel = true;
                Done();
                return;
            }
            Line({"RECV_START", h, m, d, name, std::to_string(size), comment},
                 SjisToUtf8(h) + " (" + m + ") sends " + SjisToUtf8(name) + " (" + std::to_string(size) + " bytes)" +
                     (comment.empty() ? "" : ": " + SjisToUtf8(comment)));
            lastTenth_ = -1;
            name = kiv::JoinPath(*o_.receiveFolder, SjisToUtf8(*safe));
        };
        kms_.OnFileRecving = [this](auto, auto&, auto&, auto&, auto&, std::int64_t size, std::int64_t total) {
            Progress("received", size, total);
        };
        kms_.OnFileRecvEnd = [this](auto, auto& h, auto& m, auto& d, auto& f) {
            Line({"RECV_END", h, m, d, PathField(f)}, "saved " + SjisToUtf8(PathField(f)));
            Done();
        };
        kms_.OnErrorFileRecv = [this](auto, auto& h, auto& m, auto& d, auto& f, int error) {
            const std::string why = FileRecvErrorText(error);
            Line({"RECV_ERROR", std::to_string(error), why, h, m, d, PathField(f)},
                 "receiving " + SjisToUtf8(PathField(f)) + " failed: " + why);
            failed_ = true;
            Done();
        };
    }

    static std::string Shown(const std::string& text)
    {
        std::string t = text;
        kiv::ReplaceText("\r\n", "\n", t);
        kiv::ReplaceText("\r", "\n", t);
        return SjisToUtf8(t);
    }

    void Ask(Prompt prompt)
    {
        if (o_.script) {
            if (o_.answers.empty()) {
                Line({"NO_ANSWER", prompt.tag}, "");
                Done();
                return;
            }
            const std::string answer = o_.answers.front();
            o_.answers.pop_front();
            Answer(prompt, answer);
            return;
        }
        pending_ = std::move(prompt);
        if (pending_->password)
            terminal_.EchoOff();
    }

    void Answer(const Prompt& prompt, const std::string& typed)
    {
        const std::string value = prompt.select ? SelectAnswer(typed, prompt.returns, !o_.script) : typed;
        // The prompting peer is addressed by its computer name: its announced address is
        // what its addressed check compares with.
        std::string target = kms_.FindPeerAddress(prompt.machine);
        if (target.empty())
            target = kms_.Received().IPAddress;
        const bool sent = kms_.SendInputReturn(prompt.tag, value, target, prompt.disc);
        Line({"RETURN", prompt.tag, value, sent ? "sent" : "failed"},
             sent ? "" : "could not send the answer");
    }

    void Done()
    {
        if (o_.untilDone)
            quit_ = true;
        else if (picked_ && !o_.script)
            std::cout << "(Enter: the menu again, quit: end)" << std::endl;
    }

    // The peers offering a menu of the wanted kind, numbered; a number typed picks one.
    void ListMenuPeers()
    {
        choices_.clear();
        std::string lines;
        for (int i = 0; i < kms_.LoginCount(); ++i) {
            const auto& p = kms_.LoginUser(i);
            if (!p.Menu || p.Discrimination != o_.mesh.menuDisc)
                continue;
            choices_.push_back(p.MachineName);
            lines += "  " + std::to_string(choices_.size()) + ") " + SjisToUtf8(p.HandleName) + " on " +
                     p.MachineName + " (" + p.IPAddress + ")\n";
        }
        if (choices_.empty()) {
            std::cout << "looking for " << o_.mesh.menuDisc << " on the network..." << std::endl;
            return;
        }
        std::cout << o_.mesh.menuDisc << " found:\n" << lines << "choose a number: " << std::flush;
        choosing_ = true;
    }

    void Pick(const std::string& line)
    {
        choosing_ = false;
        const std::string machine = SelectAnswer(line, choices_, true);
        if (machine == line) {  // not a number of the list
            ListMenuPeers();
            return;
        }
        picked_ = machine;
        AskPickedMenu();
    }

    void AskPickedMenu()
    {
        if (!kms_.SendMenuCheck(*picked_, o_.mesh.menuDisc))
            std::cout << *picked_ << " is no longer on the network" << std::endl;
    }

    // Without --wait the end of standard input ends the console.
    void InputEnded()
    {
        if (!o_.wait)
            quit_ = true;
    }

    void Command(const std::string& line)
    {
        if (pending_) {
            const Prompt prompt = *pending_;
            pending_.reset();
            terminal_.EchoOn();
            if (prompt.password)
                std::cout << std::endl;
            Answer(prompt, Utf8ToSjis(line));
            return;
        }
        if (choosing_) {
            Pick(line);
            return;
        }
        const auto space = line.find(' ');
        const std::string verb = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (verb == "quit" || verb == "exit") {
            quit_ = true;
        } else if (verb == "peers") {
            for (int i = 0; i < kms_.LoginCount(); ++i) {
                const auto& p = kms_.LoginUser(i);
                std::cout << "  " << SjisToUtf8(p.HandleName) << "  " << p.MachineName << "  " << p.IPAddress
                          << "  " << p.Discrimination << (p.Menu ? "  menu" : "")
                          << (p.FTPPort ? "  files:" + std::to_string(p.FTPPort) : "") << (p.Absence ? "  away" : "")
                          << std::endl;
            }
        } else if (picked_ && (line.empty() || line == "menu")) {
            AskPickedMenu();
        } else if (verb == "menu" && !rest.empty()) {
            const auto sp = rest.find(' ');
            const std::string target = rest.substr(0, sp);
            const std::string disc = sp == std::string::npos ? "Kiv" : rest.substr(sp + 1);
            if (!kms_.SendMenuCheck(target, disc))
                std::cout << "unknown peer " << target << std::endl;
        } else if (verb == "send-file" && !rest.empty()) {
            const auto sp = rest.find(' ');
            const std::string peer = rest.substr(0, sp);
            const std::string args = sp == std::string::npos ? "" : rest.substr(sp + 1);
            const auto sp2 = args.find(' ');
            const std::string file = args.substr(0, sp2);
            const std::string comment = sp2 == std::string::npos ? "" : Utf8ToSjis(args.substr(sp2 + 1));
            if (file.empty() || !kiv::FileSize(file))
                std::cout << "cannot read " << file << std::endl;
            else if (!StartSend(peer, "", file, comment))
                std::cout << "no file-receiving peer " << peer << std::endl;
        } else if (!line.empty()) {
            std::cout << "commands: peers | menu [TARGET [DISC]] | send-file PEER FILE [COMMENT] | quit" << std::endl;
        }
    }

    Options o_;
    kiv::mesh::SystemMeshBackend backend_;
    kiv::TKestrelMesh kms_{backend_};
    Terminal terminal_{backend_};
    std::optional<Prompt> pending_;
    bool quit_ = false;
    bool failed_ = false;
    int lastTenth_ = -1;
    // --pick: the machines listed, whether a number is awaited, and the one chosen.
    std::vector<std::string> choices_;
    bool choosing_ = false;
    std::optional<std::string> picked_;
};

}  // namespace

int main(int argc, char** argv)
{
    Utf8Arguments(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "web")
        return RunWebConsole(argc - 1, argv + 1);
    Options options;
    if (const auto problem = ParseOptions(argc, argv, options))
        return UsageError("kmconsole", *problem, kUsage, kCommands);
    CatchStopSignals();
    Utf8Output();
    Console console(std::move(options));
    return console.Run();
}
