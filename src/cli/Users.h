// The users who may change the card over the network, from the command line.
#pragma once

#include <cstdio>
#include <string>

// Adds `name` to the users file (or gives it a new password): the password
// read from the terminal without echo, asked twice, or one line of standard
// input when that is no terminal. Exit status 0 when written, 1 otherwise.
int RunAddUser(const std::string& name, const std::string& file, std::FILE* out, std::FILE* err);
