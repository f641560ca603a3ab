#include "Users.h"

#include <QString>
#include <termios.h>
#include <unistd.h>

#include "Credentials.h"

namespace {

// One line of standard input, its end left off; with `quiet` the terminal
// does not show what is typed.
bool ReadLine(std::FILE* in, bool quiet, std::string& line) {
    termios saved = {};
    const bool terminal = quiet && ::tcgetattr(fileno(in), &saved) == 0;
    if (terminal) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(fileno(in), TCSAFLUSH, &silent);
    }
    line.clear();
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n')
        if (line.size() < 4096)
            line += static_cast<char>(c);
    if (terminal)
        ::tcsetattr(fileno(in), TCSAFLUSH, &saved);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return c != EOF || !line.empty();
}

} // namespace

int RunAddUser(const std::string& name, const std::string& file, std::FILE* out, std::FILE* err) {
    const QString path = file.empty() ? Credentials::DefaultFile() : QString::fromLocal8Bit(file);
    Credentials users;
    QString problem;
    if (!users.load(path, problem)) {
        std::fprintf(err, "%s.\n", qPrintable(problem));
        return 1;
    }
    const bool terminal = ::isatty(fileno(stdin));
    std::string password, again;
    if (terminal)
        std::fprintf(err, "Password for %s: ", name.c_str());
    const bool read = ReadLine(stdin, terminal, password);
    if (terminal) {
        std::fprintf(err, "\nAgain: ");
        ReadLine(stdin, true, again);
        std::fprintf(err, "\n");
    }
    if (!read || password.empty()) {
        std::fprintf(err, "No password was given: %s is left as it was.\n", qPrintable(path));
        return 1;
    }
    if (terminal && again != password) {
        std::fprintf(err, "The two passwords differ: %s is left as it was.\n", qPrintable(path));
        return 1;
    }
    const QString user = QString::fromLocal8Bit(name.c_str());
    const bool known = users.users().contains(user);
    if (!users.set(user, QByteArray::fromStdString(password), problem) ||
        !users.save(path, problem)) {
        std::fprintf(err, "%s.\n", qPrintable(problem));
        return 1;
    }
    std::fprintf(out, "%s %s in %s.\n", known ? "New password of" : "Added", name.c_str(),
                 qPrintable(path));
    return 0;
}
