-- 账户资料: the account details page in the browser, logged in by a login token. The plug-in asks
-- for a login first when nobody is logged in, and opens the plain page when that fails.
local answer = plugin_invoke({plugin = "Plugins\\Login\\Porlock.dll", req_id = 6})
local how = "未登录"
if answer.Result == 1 then how = "已登录" end
if answer.ErrMsg ~= nil and answer.ErrMsg ~= "" then how = how .. "，" .. answer.ErrMsg end
log("账户资料: 打开账户资料页面（" .. how .. "）")
