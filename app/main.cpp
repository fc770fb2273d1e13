// The quenmark executable: serves page scripts, runs one request offline, starts the demo site.

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cpp_pages/summary_report.h"
#include "demo_store/demo_store.h"
#include "host/builtin_objects.h"
#include "host/member_reference.h"
#include "quenmark/host.h"
#include "quenmark/version.h"

namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] =
    "Usage:\n"
    "  quenmark run PAGE [--url PATH] [--query QS] [--form BODY] [--header 'Name: value']...\n"
    "               [--cookie 'k=v']... [--session K=V]... [--root DIR] [--data DIR]... [--body]\n"
    "      Runs one request through a page (*.lua, *.qsp) and prints the response: status\n"
    "      line, headers, a blank line and the body (--body: only the body). --form makes it\n"
    "      a POST with that url-encoded body. The root defaults to the page's folder. Exits\n"
    "      with status 1 when the page answered with a 5xx status.\n"
    "  quenmark serve [--root DIR] [--port N] [--bind ADDR] [--data DIR]...\n"
    "                 [--max-response MB] [--client-connections N]\n"
    "      Serves DIR (default .) on ADDR:N (default 127.0.0.1:8080). Pages open SQLite files\n"
    "      only inside DIR and the --data folders. A page's response may hold at most MB\n"
    "      megabytes (default 256); one client address at most N connections (default 128).\n"
    "  quenmark demo [--port N] [--bind ADDR] [--root DIR]\n"
    "      Creates the demo database if missing and serves the demo site (examples/site).\n"
    "  quenmark members [CLASS]\n"
    "      Lists the members page scripts can use on each class (or on CLASS), as Markdown.\n"
    "  quenmark version\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "quenmark: %s\n\n%s", message.c_str(), kUsage);
  return 2;
}

// Reads "--name value" options; flags listed in `flags` take no value.
class Options {
 public:
  Options(int argc, char** argv, int first) {
    for (int i = first; i < argc; ++i) args_.emplace_back(argv[i]);
  }

  // Next option name, or "" at the end; positional arguments are collected.
  bool Next(std::string& name, std::string& value, bool& has_value,
            const std::vector<std::string_view>& flags, std::string& error) {
    while (pos_ < args_.size()) {
      std::string arg = args_[pos_++];
      if (arg.rfind("--", 0) != 0) {
        positional_.push_back(arg);
        continue;
      }
      size_t eq = arg.find('=');
      name = arg.substr(0, eq);
      has_value = false;
      bool is_flag = false;
      for (auto flag : flags) is_flag = is_flag || name == flag;
      if (is_flag) return true;
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
      } else if (pos_ < args_.size()) {
        value = args_[pos_++];
      } else {
        error = "option " + name + " needs a value";
        return false;
      }
      has_value = true;
      return true;
    }
    name.clear();
    return false;
  }
  const std::vector<std::string>& Positional() const { return positional_; }

 private:
  std::vector<std::string> args_;
  std::vector<std::string> positional_;
  size_t pos_ = 0;
};

bool ParsePort(const std::string& text, int& port) {
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 0 || value > 65535) return false;
  port = static_cast<int>(value);
  return true;
}

int RunCommand(int argc, char** argv) {
  Options options(argc, argv, 2);
  quenmark::OfflineRequest request;
  bool body_only = false;
  std::string cookies;
  std::string name, value, error;
  bool has_value = false;
  while (options.Next(name, value, has_value, {"--body"}, error)) {
    if (name == "--body") {
      body_only = true;
    } else if (name == "--url") {
      request.url = value;
    } else if (name == "--query") {
      request.query = value;
    } else if (name == "--form") {
      request.form = value;
    } else if (name == "--root") {
      request.root = value;
    } else if (name == "--data") {
      request.data_folders.push_back(value);
    } else if (name == "--header") {
      size_t colon = value.find(':');
      if (colon == std::string::npos || colon == 0)
        return UsageError("--header wants 'Name: value'");
      std::string header_value = value.substr(colon + 1);
      while (!header_value.empty() && header_value.front() == ' ') header_value.erase(0, 1);
      request.headers.emplace_back(value.substr(0, colon), header_value);
    } else if (name == "--cookie") {
      if (!cookies.empty()) cookies += "; ";
      cookies += value;
    } else if (name == "--session") {
      size_t eq = value.find('=');
      if (eq == std::string::npos || eq == 0) return UsageError("--session wants K=V");
      request.session.emplace_back(value.substr(0, eq), value.substr(eq + 1));
    } else {
      return UsageError("unknown option " + name);
    }
  }
  if (!error.empty()) return UsageError(error);
  if (options.Positional().size() != 1) return UsageError("run needs exactly one PAGE");
  request.page = options.Positional().front();
  if (!cookies.empty()) request.headers.emplace_back("Cookie", cookies);

  quenmark::Result<quenmark::Response> result = quenmark::RunOffline(request);
  if (!result) {
    std::fprintf(stderr, "quenmark: %s\n", result.Description().c_str());
    return 1;
  }
  quenmark::Response& response = *result;
  std::string out;
  if (!body_only) {
    out = "HTTP/1.1 " + response.Status() + "\r\n";
    for (const auto& [header, header_value] : quenmark::ResponseHeaders(response)) {
      out += header + ": " + header_value + "\r\n";
    }
    // A streamed body (an export) is printed as it comes, so its length is not known up front.
    if (!response.HasBodyStream()) {
      out += "Content-Length: " + std::to_string(response.Body().size()) + "\r\n";
    }
    out += "\r\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  try {
    const bool sent = response.SendBody([](std::string_view bytes) {
      return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    });
    std::fflush(stdout);
    if (!sent) {
      std::fprintf(stderr, "quenmark: the response could not be written\n");
      return 1;
    }
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "quenmark: the response stopped part-way: %s\n", error.what());
    return 1;
  }
  // Scripts that run pages can tell a failed page from a good one.
  return response.StatusCode() >= 500 ? 1 : 0;
}

// Where the demo site is: beside the current folder, or beside the executable's build folder.
std::optional<fs::path> FindDemoSite() {
  std::error_code ec;
  std::vector<fs::path> candidates = {fs::current_path(ec) / "examples" / "site"};
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    for (fs::path dir = exe.parent_path(); !dir.empty() && dir != dir.root_path();
         dir = dir.parent_path()) {
      candidates.push_back(dir / "examples" / "site");
    }
  }
  for (const auto& candidate : candidates) {
    if (fs::is_regular_file(candidate / "index.lua", ec))
      return fs::weakly_canonical(candidate, ec);
  }
  return std::nullopt;
}

// Serves until SIGINT or SIGTERM. The signals are blocked in every thread and taken by one
// waiting thread, which stops the server from outside a signal handler. `add_pages` registers
// C++ pages before the server starts.
int Serve(quenmark::HostOptions host_options,
          const std::function<void(quenmark::WebHost&)>& add_pages = {}) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  quenmark::WebHost host(host_options);
  if (add_pages) add_pages(host);
  if (quenmark::Status bound = host.Bind(); !bound) {
    std::fprintf(stderr, "quenmark: %s\n", bound.Description().c_str());
    return 1;
  }
  std::error_code ec;
  std::printf("Quenmark %s serving %s\nOpen %s in your browser (Ctrl+C stops the server).\n",
              QUENMARK_VERSION, fs::weakly_canonical(host_options.root, ec).c_str(),
              host.Url().c_str());
  std::fflush(stdout);

  std::thread watcher([&host, signals] {
    int received = 0;
    sigwait(&signals, &received);
    std::fprintf(stderr, "quenmark: stopping\n");
    host.Stop();
  });
  watcher.detach();
  host.Serve();
  return 0;
}

bool ParseServeOptions(int argc, char** argv, quenmark::HostOptions& host_options, bool& root_given,
                       int& status) {
  Options options(argc, argv, 2);
  std::string name, value, error;
  bool has_value = false;
  while (options.Next(name, value, has_value, {}, error)) {
    if (name == "--root") {
      host_options.root = value;
      root_given = true;
    } else if (name == "--port") {
      if (!ParsePort(value, host_options.port)) {
        status = UsageError("--port wants a number from 0 to 65535");
        return false;
      }
    } else if (name == "--bind") {
      host_options.bind = value;
    } else if (name == "--data") {
      host_options.data_folders.push_back(value);
    } else if (name == "--max-response" || name == "--client-connections") {
      int number = 0;
      if (!ParsePort(value, number) || number < 1) {
        status = UsageError(name + " wants a number from 1 to 65535");
        return false;
      }
      if (name == "--max-response") {
        host_options.max_response_bytes = static_cast<size_t>(number) << 20;
      } else {
        host_options.max_connections_per_client = static_cast<unsigned>(number);
      }
    } else {
      status = UsageError("unknown option " + name);
      return false;
    }
  }
  if (!error.empty() || !options.Positional().empty()) {
    status =
        UsageError(error.empty() ? "unexpected argument " + options.Positional().front() : error);
    return false;
  }
  return true;
}

int ServeCommand(int argc, char** argv) {
  quenmark::HostOptions host_options;
  bool root_given = false;
  int status = 0;
  if (!ParseServeOptions(argc, argv, host_options, root_given, status)) return status;
  return Serve(host_options);
}

int DemoCommand(int argc, char** argv) {
  quenmark::HostOptions host_options;
  bool root_given = false;
  int status = 0;
  if (!ParseServeOptions(argc, argv, host_options, root_given, status)) return status;
  if (!root_given) {
    std::optional<fs::path> site = FindDemoSite();
    if (!site) {
      std::fprintf(stderr,
                   "quenmark: examples/site not found; run from the source folder or "
                   "pass --root\n");
      return 1;
    }
    host_options.root = site->string();
  }
  fs::path database = fs::path(host_options.root) / "data" / "demo.db";
  std::error_code ec;
  if (!fs::exists(database, ec)) {
    std::printf("Creating the demo database %s ...\n", database.c_str());
    std::fflush(stdout);
    fs::create_directories(database.parent_path(), ec);
    if (quenmark::Status made = quenmark::demo::GenerateDemoStore(database.string()); !made) {
      std::fprintf(stderr, "quenmark: cannot create the demo database: %s\n",
                   made.Description().c_str());
      return 1;
    }
  }
  return Serve(host_options, quenmark::demo::RegisterDemoPages);
}

// Prints the member reference (docs/reference.md is this output).
int MembersCommand(int argc, char** argv) {
  if (argc > 3) return UsageError("members takes at most one class name");
  quenmark::host::EnsureBuiltinObjects();
  std::string_view class_name = argc == 3 ? argv[2] : "";
  std::optional<std::string> reference =
      quenmark::host::MemberReference(quenmark::ObjectRegistry::Global(), class_name);
  if (!reference) {
    std::string known;
    for (const std::string& name : quenmark::ObjectRegistry::Global().Names()) known += " " + name;
    std::fprintf(stderr, "quenmark: no class named %s; the classes are:%s\n", argv[2],
                 known.c_str());
    return 2;
  }
  std::fputs(reference->c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return UsageError("a command is needed");
  std::string_view command = argv[1];
  if (command == "run") return RunCommand(argc, argv);
  if (command == "serve") return ServeCommand(argc, argv);
  if (command == "demo") return DemoCommand(argc, argv);
  if (command == "members") return MembersCommand(argc, argv);
  if (command == "version" || command == "--version") {
    std::printf("Quenmark %s\n", QUENMARK_VERSION);
    return 0;
  }
  if (command == "help" || command == "--help" || command == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  return UsageError("unknown command " + std::string(command));
}
