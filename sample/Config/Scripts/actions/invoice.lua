-- 发票查询: will open the invoice search page in a page of its own; for now the click is logged.
log("发票查询: 打开发票查询页面")
