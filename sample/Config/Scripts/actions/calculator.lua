-- 计算器: the tax calculator of the sample's desk tools plug-in, in a page of its own right after
-- the active one. The plug-in keeps one calculator window, so a second click finds the page that
-- already holds it and brings it to the front instead of opening another.
local answer = plugin_invoke({plugin = "Plugins\\DeskTools\\DeskTools.dll", req_id = 2})
local page = page_focornew_by_winctrl({wctrl_inst = answer.inst, caption = "税额计算器", mode = 1,
                                       notab = 0, nobtnclose = 0})
log("计算器: 税额计算器页面 " .. page.page_inst)
