-- 产品官网: will open the home page through the channels plug-in; for now the click is logged.
log("产品官网: 打开官网首页")
