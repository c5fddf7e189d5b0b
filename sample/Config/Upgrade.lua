-- Runs once after the boot scripts, when the desk is up: network work that the desk does not need
-- in order to show itself belongs here. When the desk's own component has an update source (an
-- Upgrade.txt with an address in the installation folder, as scripts/run-desk publishes one), the
-- upgrade plug-in checks it, as the 检查更新 icon does; then the store's addresses and prices in the
-- app-store catalogue are refreshed from the account service by the channels plug-in. Without a
-- configured or reachable service the catalogue stays as it is and the reason is logged.
local app = string.match(debug.getinfo(1, "S").source, "^@(.*[/\\])Config[/\\]Upgrade%.lua$") or ""
local source = nil
local file = io.open(app .. "Upgrade.txt", "r")
if file then
  for line in file:lines() do
    source = source or string.match(line, "^%s*url%s*=%s*(%S+)")
  end
  file:close()
end
if source then
  plugin_invoke({plugin = "Upgrade.dll", req_id = 1, upfile = "Upgrade.txt",
                 StateFile = app .. "Download/desk-upgrade.ini"})
  log("Upgrade.lua: 启动检查已交给升级插件（" .. source .. "）")
else
  log("Upgrade.lua: 启动检查完成，未配置更新源")
end

local refreshed, problem = pcall(plugin_invoke, {plugin = "Skellow.dll", req_id = 101})
if refreshed then
  log("应用商店: 目录已更新")
else
  log("应用商店: 目录未更新（" .. tostring(problem) .. "）")
end
