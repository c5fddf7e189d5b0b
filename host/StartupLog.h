#pragma once

#include <QLoggingCategory>
#include <string>

namespace qm {

// Milestones of the start-up chain ("boot scripts finished", "upgrade script finished"), printed
// on the standard error stream so that scripts and benchmarks can tell when the desk is built.
Q_DECLARE_LOGGING_CATEGORY(lcStartup)

void StartupLog(const std::string& milestone);

} // namespace qm
