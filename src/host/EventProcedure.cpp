#include "host/EventProcedure.h"

#include <new>
#include <string>

#include "common/Error.h"
#include "common/Log.h"

namespace host {
namespace {

// Numbers for failures that are not an Error of ours, as the framework numbers them.
constexpr int32_t kErrOutOfMemory = 7;
constexpr int32_t kErrInternal = 51;

Error AsError(std::string_view procedure, const std::exception_ptr& failure) {
    const std::string source(procedure);
    try {
        std::rethrow_exception(failure);
    } catch (const Error& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return Error(kErrOutOfMemory, source, "Out of memory");
    } catch (const std::exception& other) {
        return Error(kErrInternal, source, other.what());
    } catch (...) {
        return Error(kErrInternal, source, "unknown exception");
    }
}

}  // namespace

void LogEscapedError(std::string_view procedure, const std::exception_ptr& failure) noexcept {
    try {
        LogLine(std::string(procedure) + " stopped: " + Describe(AsError(procedure, failure)));
    } catch (...) {
        // Nothing more can be done without memory; the window keeps running.
    }
}

bool RunEventProcedure(std::string_view procedure, const std::function<void()>& body) noexcept {
    try {
        body();
        return true;
    } catch (...) {
        LogEscapedError(procedure, std::current_exception());
        return false;
    }
}

}  // namespace host
