-- 应用商店: opens the store application 3001 "税务便签" through the upgrade plug-in (request 3). It
-- is installed when missing and updated when the store offers another version, then started.
plugin_invoke({plugin = "Upgrade.dll", req_id = 3, app_id = 3001})
log("应用商店: 税务便签已打开")
