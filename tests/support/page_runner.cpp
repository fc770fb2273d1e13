#include "support/page_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace quenmark::test_support {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Reads both pipes to the end without letting either fill up and block the child.
void DrainPipes(int out_fd, int err_fd, std::string& out, std::string& err) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open_count = 2;
  char buffer[65536];
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
}

// Splits "HTTP/1.1 200 OK\r\nName: value\r\n\r\nbody" into its parts.
void ParseResponse(const std::string& raw, PageResult& result) {
  size_t pos = 0;
  auto next_line = [&](std::string& line) {
    size_t end = raw.find('\n', pos);
    if (end == std::string::npos) return false;
    line = raw.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos = end + 1;
    return true;
  };
  std::string line;
  if (!next_line(line) || line.rfind("HTTP/1.1 ", 0) != 0) {
    result.body = raw;
    return;
  }
  result.status_line = line.substr(9);
  result.status = std::atoi(result.status_line.c_str());
  while (next_line(line) && !line.empty()) {
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    if (!value.empty() && value.front() == ' ') value.erase(0, 1);
    result.headers.emplace_back(line.substr(0, colon), value);
  }
  result.body = raw.substr(pos);
}

}  // namespace

std::string PageResult::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsIgnoringCase(key, name)) return value;
  }
  return "";
}

bool PageResult::HasHeader(std::string_view name) const {
  for (const auto& header : headers) {
    if (EqualsIgnoringCase(header.first, name)) return true;
  }
  return false;
}

std::string SourcePath(const std::string& relative) {
  return (std::filesystem::path(QUENMARK_SOURCE_DIR) / relative).string();
}

PageResult RunPage(const std::string& page, const std::vector<std::string>& args,
                   size_t address_space_bytes) {
  std::string page_path = std::filesystem::path(page).is_absolute() ? page : SourcePath(page);
  std::vector<std::string> argv_text = {QUENMARK_EXE, "run", page_path};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : argv_text) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int out_pipe[2], err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  }
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    if (address_space_bytes > 0) {
      const rlimit limit{address_space_bytes, address_space_bytes};
      setrlimit(RLIMIT_AS, &limit);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  PageResult result;
  std::string raw;
  DrainPipes(out_pipe[0], err_pipe[0], raw, result.error_output);
  int wait_status = 0;
  while (waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
  }
  result.exit_code =
      WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  ParseResponse(raw, result);
  return result;
}

}  // namespace quenmark::test_support
