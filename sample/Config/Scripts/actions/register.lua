-- 注册: the registration dialog of the login plug-in. A new account is not logged in; the user
-- logs in with it through 登录.
local answer = plugin_invoke({plugin = "Plugins\\Login\\Porlock.dll", req_id = 2})
if answer.Result == 1 then
  log("注册: 注册成功，请登录")
else
  log("注册: 未注册")
end
