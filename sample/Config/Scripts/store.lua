-- At start-up: the store's addresses and prices in the app-store catalogue are refreshed from the
-- account service by the channels plug-in. Without a configured or reachable service the catalogue
-- stays as it is and the reason is logged.
local refreshed, problem = pcall(plugin_invoke, {plugin = "Skellow.dll", req_id = 101})
if refreshed then
  log("应用商店: 目录已更新")
else
  log("应用商店: 目录未更新（" .. tostring(problem) .. "）")
end
