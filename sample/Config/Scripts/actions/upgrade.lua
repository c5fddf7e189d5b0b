-- 检查更新: the upgrade plug-in checks the desk's own component (Upgrade.txt in the installation
-- folder) for an update; an update offered is shown in the upgrade dialog.
local app = string.match(debug.getinfo(1, "S").source, "^@(.*[/\\])Config[/\\]Scripts[/\\]actions[/\\]") or ""
plugin_invoke({plugin = "Upgrade.dll", req_id = 1, upfile = "Upgrade.txt",
               StateFile = app .. "Download/desk-upgrade.ini"})
log("检查更新: 检查桌面组件的新版本")
