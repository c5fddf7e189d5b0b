#pragma once

namespace qm::test {

// A TCP port of 127.0.0.1 that nothing listens on at the moment of asking (the system picks it).
// Throws std::runtime_error when no socket can be bound.
int FreePort();

} // namespace qm::test
