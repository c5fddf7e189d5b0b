# Precompiled Qt and standard headers for the support library, the desk toolkit, the pictures, the
# plug-ins' cores and the host, whose sources spend most of an unoptimised compile parsing them.
# The static libraries share one precompiled header (their flags are the same); the host, built
# without hidden visibility, has its own. Meant for the Debug (sanitizer) builds: with optimisation,
# GCC reports late warnings inside precompiled system headers, which -Werror would make errors.
set(QM_PRECOMPILED_HEADERS
    <QApplication> <QImage> <QPainter> <QPointer> <QString> <QTimer> <QWidget>
    <algorithm> <filesystem> <functional> <memory> <optional> <string> <string_view> <vector>)

function(qm_precompile_headers)
    target_precompile_headers(qm_common PRIVATE ${QM_PRECOMPILED_HEADERS})
    foreach(target qm_desk qm_pictures porlock_core upgrade_core upgrade_plugin skellow_core)
        target_precompile_headers(${target} REUSE_FROM qm_common)
    endforeach()
    target_precompile_headers(qm_host PRIVATE ${QM_PRECOMPILED_HEADERS})
endfunction()
