-- 产品官网: the product's home page in the browser, without asking anybody to log in; a
-- logged-in user arrives logged in through a login token. Script tables carry numbers, not
-- booleans: 1 is true.
local answer = plugin_invoke({plugin = "Plugins\\Login\\Porlock.dll", req_id = 9,
                              UrlNode = "home_addr", NoLogin = 1})
local how = "未登录"
if answer.Result == 1 then how = "已登录" end
if answer.ErrMsg ~= nil and answer.ErrMsg ~= "" then how = how .. "，" .. answer.ErrMsg end
log("产品官网: 打开官网首页（" .. how .. "）")
