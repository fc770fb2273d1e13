#include "quenmark/shared_settings.h"

namespace quenmark {
namespace {
thread_local SharedSettings tls_settings;
}  // namespace

SharedSettings& ThreadSettings() { return tls_settings; }

void ResetThreadSettings() { tls_settings = SharedSettings{}; }

}  // namespace quenmark
