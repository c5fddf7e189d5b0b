-- Runs once after the boot scripts. When the desk's own component has an update source (an
-- Upgrade.txt with an address in the installation folder, as scripts/run-desk publishes one), the
-- upgrade plug-in checks it, as the 检查更新 icon does.
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
