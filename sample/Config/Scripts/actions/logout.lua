-- 退出登录: forgets the logged-in user. The account service is not told; its session simply goes
-- unused.
local shared = plugin_invoke({plugin = "uip", req_id = 10, method = "get", namespace = "Login",
                              key = "UserName"})
plugin_invoke({plugin = "Plugins\\Login\\Porlock.dll", req_id = 8})
if shared.value ~= nil and shared.value ~= "" then
  log("退出登录: " .. shared.value .. " 已退出")
else
  log("退出登录: 没有已登录的用户")
end
