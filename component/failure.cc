#include "component/failure.h"

#include <exception>
#include <new>

namespace migprof {

ComError CurrentFailure() {
  try {
    throw;
  } catch (const ComError& error) {
    return error;
  } catch (const std::bad_alloc&) {
    return ComError(errc::kOutOfMemory, errtext::kOutOfMemory);
  } catch (const std::exception& error) {
    return ComError(errc::kInternalError,
                    std::string(errtext::kInternalError) + ": " + error.what());
  } catch (...) {
    return ComError(errc::kInternalError, errtext::kInternalError);
  }
}

}  // namespace migprof
