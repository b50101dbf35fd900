// The program built on the in-memory directory, for the golden tests: before
// the driver runs, the servers and instruments described in the file
// "directory" of the working directory are set up, and with "log" in it the
// library's calls are written to ".calls" when the driver returns.
//
// The file holds one directive per line ('#' starts a comment):
//   server NAME                 starts a server; the lines below describe it
//   class NAME FLAGS [LIST=a,b ...]  LIST is sup, contain, named, must or may
//   attr NAME SYNTAX FLAGS
//   syntax NAME FLAGS
//   entry NAME                  an entry QXDSReadObjectInfo finds
//   parts N                     at most N definitions per reply part
//   answeredby NAME             reads are answered by server NAME
//   opencode CODE               opening a connection answers CODE
//   kindcode classes|attrs|syntaxes CODE   reading that kind answers CODE
//   fail CALL N CODE            the N-th call of CALL answers CODE
//   log                         record the calls
// Numbers may be decimal or 0x hexadecimal, and negative.

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/memorydirectory.h"
#include "tavler/main2.h"

namespace {

using dsclient::memory::Server;

long long number(const std::string& word) {
    return std::stoll(word, nullptr, 0);
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        items.push_back(item);
    }
    return items;
}

bool setUp(std::istream& in, bool& log) {
    const std::map<std::string, std::size_t> lists{
        {"sup", 0}, {"contain", 1}, {"named", 2}, {"must", 3}, {"may", 4}};
    std::vector<Server> servers;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string verb;
        if (!(words >> verb)) {
            continue;
        }
        std::vector<std::string> args;
        for (std::string word; words >> word;) {
            args.push_back(word);
        }
        if (verb == "server" && args.size() == 1) {
            servers.push_back(Server{args[0], {}, 0, {}, 0});
        } else if (verb == "fail" && args.size() == 3) {
            dsclient::memory::failCall(args[0], static_cast<unsigned>(number(args[1])),
                                       static_cast<std::int32_t>(number(args[2])));
        } else if (verb == "log" && args.empty()) {
            log = true;
        } else if (servers.empty()) {  // NOLINT(bugprone-branch-clone): as a line of no verb
            return false;
        } else if (Server& server = servers.back(); verb == "class" && args.size() >= 2) {
            dsclient::ClassDefinition def{args[0], static_cast<std::uint32_t>(number(args[1])), {}};
            for (std::size_t n = 2; n < args.size(); ++n) {
                const std::size_t eq = args[n].find('=');
                const auto list = lists.find(args[n].substr(0, eq));
                if (eq == std::string::npos || list == lists.end()) {
                    return false;
                }
                def.lists.at(list->second) =
                    dsclient::PackedNames(splitList(args[n].substr(eq + 1)));
            }
            server.content.classes.definitions.push_back(def);
        } else if (verb == "attr" && args.size() == 3) {
            server.content.attrs.definitions.push_back(
                {args[0], static_cast<std::uint32_t>(number(args[2])),
                 static_cast<std::uint32_t>(number(args[1]))});
        } else if (verb == "syntax" && args.size() == 2) {
            server.content.syntaxes.definitions.push_back(
                {args[0], static_cast<std::uint16_t>(number(args[1]))});
        } else if (verb == "entry" && args.size() == 1) {
            server.content.entries.push_back(args[0]);
        } else if (verb == "parts" && args.size() == 1) {
            server.partSize = static_cast<std::size_t>(number(args[0]));
        } else if (verb == "answeredby" && args.size() == 1) {
            server.answeredBy = args[0];
        } else if (verb == "opencode" && args.size() == 1) {
            server.openCode = static_cast<std::int32_t>(number(args[0]));
        } else if (verb == "kindcode" && args.size() == 2) {
            const auto code = static_cast<std::int32_t>(number(args[1]));
            if (args[0] == "classes") {
                server.content.classes.code = code;
            } else if (args[0] == "attrs") {
                server.content.attrs.code = code;
            } else {
                server.content.syntaxes.code = code;
            }
        } else {
            return false;
        }
    }
    for (Server& server : servers) {
        dsclient::memory::addServer(std::move(server));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool log = false;
    std::ifstream script("directory");
    try {
        if (script && !setUp(script, log)) {
            std::cerr << "memdir: a directive of ./directory is not understood\n";
            return 125;
        }
    } catch (const std::exception&) {
        std::cerr << "memdir: a number of ./directory is not understood\n";
        return 125;
    }
    dsclient::memory::recordCalls(log);
    const int status = main2(argc, argv);
    if (log) {
        std::ofstream out(".calls");
        for (const std::string& call : dsclient::memory::calls()) {
            out << call << '\n';
        }
    }
    return status;
}
