-- 使用帮助: will open the help pages; for now the click is logged.
log("使用帮助: 打开帮助")
