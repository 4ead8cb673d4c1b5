// The host stand-in for cmd: carries out `cmd [/d] /c NAME` by running the
// file NAME (any letter case) from the current folder and exiting with its
// exit status (128+N when signal N ended it). Nothing else of cmd is here.
// A code wider than the host's 8 bits reaches the layer as it would from
// the real cmd: the file writes it whole on the channel the layer names in
// ZODERUDO_EXIT_CODE_FD, which the stand-in leaves open for it.
#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace {

int Usage() {
  fputs(
      "cmd: this host stand-in only carries out: cmd [/d] /c NAME\n"
      "     (NAME: a file in the current folder)\n",
      stderr);
  return 1;
}

bool IsFile(const std::string& name) {
  struct stat st;
  return stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// The exact name if such a file exists, else the first (in byte order)
// that equals it regardless of case.
bool FindFile(const char* name, std::string* found) {
  if (IsFile(name)) {
    *found = name;
    return true;
  }
  DIR* dir = opendir(".");
  if (!dir) return false;
  found->clear();
  while (struct dirent* entry = readdir(dir)) {
    if (strcasecmp(entry->d_name, name) == 0 && IsFile(entry->d_name) &&
        (found->empty() || *found > entry->d_name)) {
      *found = entry->d_name;
    }
  }
  closedir(dir);
  return !found->empty();
}

// In the child: the file itself if it is executable and the host knows
// its format, else the shell reads it.
[[noreturn]] void Exec(const std::string& path) {
  const char* file = path.c_str();
  if (access(file, X_OK) == 0) {
    execl(file, file, static_cast<char*>(nullptr));
    if (errno != ENOEXEC) {
      fprintf(stderr, "cmd: cannot run %s: %s\n", file, strerror(errno));
      _exit(126);
    }
  }
  execl("/bin/sh", "sh", file, static_cast<char*>(nullptr));
  fprintf(stderr, "cmd: cannot run /bin/sh: %s\n", strerror(errno));
  _exit(126);
}

int Run(const std::string& name) {
  std::string path = "./" + name;
  fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) {
    perror("cmd: fork");
    return 1;
  }
  if (pid == 0) Exec(path);
  int status;
  pid_t result;
  do {
    result = waitpid(pid, &status, 0);
  } while (result < 0 && errno == EINTR);
  if (result < 0) {
    perror("cmd: waitpid");
    return 1;
  }
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

}  // namespace

int main(int argc, char** argv) {
  int i = 1;
  if (i < argc && strcasecmp(argv[i], "/d") == 0) ++i;
  if (i >= argc || strcasecmp(argv[i], "/c") != 0) return Usage();
  ++i;
  if (argc - i != 1) return Usage();
  const char* name = argv[i];
  if (!*name || strpbrk(name, "/\\")) return Usage();
  std::string found;
  if (!FindFile(name, &found)) {
    fprintf(stderr,
            "'%s' is not recognized as an internal or external command,\n"
            "operable program or batch file.\n",
            name);
    return 1;
  }
  return Run(found);
}
