-- 产品官网: the product's home page in the browser, through the channels plug-in, without asking
-- anybody to log in; a logged-in user arrives logged in through a login token.
plugin_invoke({plugin = "Skellow.dll", req_id = 2})
log("产品官网: 打开官网首页")
