-- 检查更新: will ask the upgrade plug-in for updates of the desk; for now the click is logged.
log("检查更新: 检查桌面组件的新版本")
