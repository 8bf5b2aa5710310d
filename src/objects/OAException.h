#pragma once

#include <exception>
#include <string>

// The one kind of error the engine throws: a pool that cannot hand out or take
// back a block. The code tells callers what went wrong without parsing text.
class OAException : public std::exception {
  public:
    enum OA_EXCEPTION {
        E_NO_MEMORY = 0,      // the heap refused a new page
        E_NO_PAGES = 1,       // the page limit has been reached
        E_BAD_ADDRESS = 2,    // freed pointer lies on no page of the pool
        E_BAD_BOUNDARY = 3,   // freed pointer lies on a page but not at a block start
        E_MULTIPLE_FREE = 4,  // block is already free
        E_CORRUPTED_BLOCK = 5 // guard bytes around a block were overwritten
    };

    OAException(int code, std::string message) : code(code), message(std::move(message)) {}
    ~OAException() override = default;

    const char* what() const noexcept override { return message.c_str(); }

    int code;
    std::string message;
};
