// The set-the-clock job's side of the password-free path: it trusts nothing in the request
// file, checks the very file it reads through one descriptor, and answers each nonce once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tool {

struct Request
{
    std::string command; // a time text or "revoke"
    std::string nonce;
    long long modifiedAt = 0; // whole seconds since 1970
};

// Opens without following a link, and without waiting for a writer should a pipe sit there.
int openRequest(const std::string& path);
// Every check on the open descriptor and the line read through it; absent when one fails.
std::optional<Request> checkedRequest(int fd, uint64_t grantedUid);
// Its two halves: the checks of the file itself, giving its modification time when they pass,
// and the read of the line through the same descriptor.
std::optional<long long> checkRequestFile(int fd, uint64_t grantedUid);
std::optional<Request> readRequestLine(int fd);
// The two words of a request line; absent unless it is exactly command and nonce.
std::optional<Request> parseRequestLine(const std::string& bytes);

} // namespace tool
