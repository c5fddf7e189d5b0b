-- 登录: the login dialog of the login plug-in. After a login the plug-in has put the user's name
-- into the desk's shared values, where the other account actions find it.
local answer = plugin_invoke({plugin = "Plugins\\Login\\Porlock.dll", req_id = 3})
if answer.Result == 1 then
  local shared = plugin_invoke({plugin = "uip", req_id = 10, method = "get", namespace = "Login",
                                key = "UserName"})
  log("登录: 已登录 " .. shared.value)
else
  log("登录: 未登录")
end
