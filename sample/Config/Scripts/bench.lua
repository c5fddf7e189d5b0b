-- The bench, the first page of the desk: a greeting with today's date, the desk's functions as
-- icons in three groups, and a few tips on the right, or below the icons, when there is room for
-- them. The desk calls bench_layout once the boot scripts have run and again whenever the bench
-- changes size, after taking away the widgets the last call made.

-- The bench keeps a tab of its own, without a close button, so that it stays one click away while
-- other pages are open.
page_visible({name = "tbBench", visible = 1})

local MARGIN = 48
local CELL_WIDTH = 112
local CELL_HEIGHT = 104
local ICON_SIZE = 64
local TIPS_WIDTH = 300

-- Widget colours are written $BBGGRR; this takes the usual #RRGGBB.
local function colour(rgb)
  return "$" .. string.sub(rgb, 6, 7) .. string.sub(rgb, 4, 5) .. string.sub(rgb, 2, 3)
end

-- Every widget sends its request when clicked. Decorative ones ask the host for the desk's
-- properties, which changes nothing on the screen.
local function quiet(widget)
  widget.plugin = "uip"
  widget.req_id = 11
  return widget
end

local function action(widget, script)
  widget.plugin = "uip"
  widget.req_id = 103
  widget.luaf = "Config\\Scripts\\actions\\" .. script
  return widget
end

local function text(left, top, words, size, style, rgb)
  create_uitext(quiet({site = "bench", left = left, top = top, text = words,
                       fontsize = size, fontstyle = style, fontcolor_nor = colour(rgb)}))
end

local TIPS = {
  "双击标题栏可最大化或还原窗口。",
  "发票查询会在新的页面中打开。",
  "应用商店里有更多税务小工具。",
  "遇到问题可查看帮助或到论坛提问。",
}
-- The tips column: its title, then a line every 26 pixels.
local TIPS_HEIGHT = 12 + table.getn(TIPS) * 26 + 20

local groups = {
  {title = "常用功能", items = {
    {icon = "invoice", text = "发票查询", script = "invoice.lua"},
    {icon = "store", text = "应用商店", script = "store.lua"},
    {icon = "upgrade", text = "检查更新", script = "upgrade.lua"},
    {icon = "calculator", text = "计算器", script = "calculator.lua"},
    {icon = "calendar", text = "日历", script = "calendar.lua"},
  }},
  {title = "服务与支持", items = {
    {icon = "forum", text = "用户论坛", script = "forum.lua"},
    {icon = "home", text = "产品官网", script = "home.lua"},
    {icon = "help", text = "使用帮助", script = "help.lua"},
  }},
  {title = "我的账户", items = {
    {icon = "login", text = "登录", script = "login.lua"},
    {icon = "register", text = "注册", script = "register.lua"},
    {icon = "account", text = "账户资料", script = "account.lua"},
    {icon = "password", text = "修改密码", script = "password.lua"},
    {icon = "logout", text = "退出登录", script = "logout.lua"},
  }},
}

local function widest_group()
  local widest = 0
  for _, group in ipairs(groups) do
    widest = math.max(widest, table.getn(group.items))
  end
  return widest
end

-- A group is its title line, then rows of cells, then a gap before the next group; the last row
-- only needs the icon and its caption.
local TITLE_HEIGHT = 32
local ICON_AND_CAPTION = 86
local GROUPS_TOP = 112

local function groups_height(columns, row_height, group_gap)
  local total = 0
  for _, group in ipairs(groups) do
    local rows = math.ceil(table.getn(group.items) / columns)
    total = total + TITLE_HEIGHT + rows * row_height + group_gap
  end
  return total - group_gap - row_height + ICON_AND_CAPTION
end

local function greeting_lines()
  -- The clock is read only where the script engine offers the os library.
  local now = nil
  if os ~= nil and os.date ~= nil then
    now = os.date("*t")
  end
  local greeting = "您好"
  if now ~= nil then
    if now.hour < 5 then greeting = "夜深了"
    elseif now.hour < 11 then greeting = "早上好"
    elseif now.hour < 13 then greeting = "中午好"
    elseif now.hour < 18 then greeting = "下午好"
    else greeting = "晚上好" end
  end
  local subline = "祝您今天工作顺利。"
  if now ~= nil then
    local weekdays = {"日", "一", "二", "三", "四", "五", "六"}
    subline = string.format("今天是 %d年%d月%d日 星期%s，%s", now.year, now.month, now.day,
                            weekdays[now.wday], subline)
  end
  return greeting .. "，欢迎使用 Quillmere 税务工作台", subline
end

local function lay_out_tips(left, top)
  text(left, top, "小贴士", 11, 1, "#3B5B7E")
  for i, tip in ipairs(TIPS) do
    text(left, top + 12 + i * 26, "· " .. tip, 10, 0, "#4F6A88")
  end
end

function bench_layout(width, height)
  -- A bench that has no size yet is laid out for a small screen.
  if width < 400 then width = 792 end
  if height < 300 then height = 528 end

  local greeting, subline = greeting_lines()
  text(MARGIN, 30, greeting, 16, 1, "#2E4A68")
  text(MARGIN + 2, 66, subline, 10, 0, "#5E7A98")

  -- Tips take the right-hand column when the widest group still fits in one row beside it;
  -- otherwise the icons get the whole width and the tips go below them, or stay away when the
  -- bench is too short for them as well.
  local widest = widest_group()
  local tips_right = width - 2 * MARGIN - TIPS_WIDTH - MARGIN >= widest * CELL_WIDTH
  local grid_width = width - 2 * MARGIN
  if tips_right then
    grid_width = grid_width - TIPS_WIDTH - MARGIN
  end
  local columns = math.max(1, math.floor(grid_width / CELL_WIDTH))

  -- A bench too short for the usual rows (an 800 x 600 window) draws them closer together.
  local row_height = CELL_HEIGHT
  local group_gap = 16
  if GROUPS_TOP + groups_height(columns, row_height, group_gap) > height - 8 then
    row_height = ICON_AND_CAPTION + 6
    group_gap = 4
  end

  local top = GROUPS_TOP
  for _, group in ipairs(groups) do
    text(MARGIN, top, group.title, 11, 1, "#3B5B7E")
    top = top + TITLE_HEIGHT
    for i, item in ipairs(group.items) do
      local row = math.floor((i - 1) / columns)
      local column = i - 1 - row * columns
      -- The caption is centred under the icon, so the icon sits in the middle of its cell.
      local left = MARGIN + column * CELL_WIDTH + (CELL_WIDTH - ICON_SIZE) / 2
      create_uicontext(action({site = "bench", left = left, top = top + row * row_height,
                               png_nor = item.icon .. "_nor.png", png_mov = item.icon .. "_mov.png",
                               align = 0, text = item.text, fontsize = 10, fontstyle = 0,
                               fontcolor_nor = colour("#3B4A5C"), fontcolor_mov = colour("#2F6DB0")},
                              item.script))
    end
    top = top + math.ceil(table.getn(group.items) / columns) * row_height + group_gap
  end

  if tips_right then
    lay_out_tips(width - MARGIN - TIPS_WIDTH, GROUPS_TOP)
  else
    -- Below the last row of icons and captions.
    local below = top - group_gap - row_height + ICON_AND_CAPTION + 16
    if below + TIPS_HEIGHT <= height - 8 then
      lay_out_tips(MARGIN, below)
    end
  end
end
