-- 应用商店: will show the applications of the store catalogue; for now the click is logged.
log("应用商店: 打开应用列表")
