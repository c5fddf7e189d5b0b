-- 用户论坛: will open the forum page through the channels plug-in; for now the click is logged.
log("用户论坛: 打开论坛")
