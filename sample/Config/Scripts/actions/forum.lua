-- 用户论坛: the forum in the browser, through the channels plug-in. Whoever is not logged in is
-- asked to log in first; a logged-in user arrives logged in through a login token.
plugin_invoke({plugin = "Skellow.dll", req_id = 1})
log("用户论坛: 打开论坛")
