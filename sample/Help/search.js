// The guide's search: finds the words typed into the search box in every page listed by
// search-index.js, in the browser, without any server. Chinese has no spaces between words, so a
// match is a plain substring; several words separated by spaces must all occur in a page.
(function () {
  "use strict";

  var SNIPPET_SIDE = 30;

  function terms(query) {
    return query.toLowerCase().split(/\s+/).filter(function (term) { return term !== ""; });
  }

  // The pages holding every term, those with a term in their title first, then in index order.
  function find(query) {
    var wanted = terms(query);
    if (wanted.length === 0) return [];
    var found = [];
    QM_HELP_INDEX.forEach(function (entry, order) {
      var title = entry.title.toLowerCase();
      var text = entry.text.toLowerCase();
      var all = wanted.every(function (term) {
        return title.indexOf(term) >= 0 || text.indexOf(term) >= 0;
      });
      if (!all) return;
      var inTitle = wanted.some(function (term) { return title.indexOf(term) >= 0; });
      found.push({entry: entry, rank: inTitle ? 0 : 1, order: order,
                  at: text.indexOf(wanted[0])});
    });
    return found.sort(function (a, b) { return a.rank - b.rank || a.order - b.order; });
  }

  // Appends text to parent with every occurrence of the terms marked.
  function appendMarked(parent, text, wanted) {
    var lower = text.toLowerCase();
    var from = 0;
    while (from < text.length) {
      var next = -1;
      var length = 0;
      wanted.forEach(function (term) {
        var at = lower.indexOf(term, from);
        if (at >= 0 && (next < 0 || at < next)) { next = at; length = term.length; }
      });
      if (next < 0) break;
      parent.appendChild(document.createTextNode(text.slice(from, next)));
      var mark = document.createElement("mark");
      mark.textContent = text.slice(next, next + length);
      parent.appendChild(mark);
      from = next + length;
    }
    parent.appendChild(document.createTextNode(text.slice(from)));
  }

  function snippet(text, at) {
    if (at < 0) return text.slice(0, 2 * SNIPPET_SIDE) + (text.length > 2 * SNIPPET_SIDE ? "…" : "");
    var start = Math.max(0, at - SNIPPET_SIDE);
    var end = Math.min(text.length, at + 2 * SNIPPET_SIDE);
    return (start > 0 ? "…" : "") + text.slice(start, end) + (end < text.length ? "…" : "");
  }

  function show(query) {
    var list = document.getElementById("results");
    var summary = document.getElementById("summary");
    var wanted = terms(query);
    list.textContent = "";
    if (wanted.length === 0) {
      summary.textContent = "在上方的搜索框中输入要找的词。";
      return;
    }
    var found = find(query);
    summary.textContent = found.length === 0
      ? "没有找到“" + query + "”。换个词试试，例如“更新”或“日志”。"
      : "“" + query + "”出现在 " + found.length + " 个页面中：";
    found.forEach(function (hit) {
      var item = document.createElement("li");
      var link = document.createElement("a");
      link.href = hit.entry.page;
      appendMarked(link, hit.entry.title, wanted);
      var text = document.createElement("span");
      text.className = "snippet";
      appendMarked(text, snippet(hit.entry.text, hit.at), wanted);
      item.appendChild(link);
      item.appendChild(text);
      list.appendChild(item);
    });
  }

  var box = document.querySelector("form.search input[name=q]");
  var query = new URLSearchParams(window.location.search).get("q") || "";
  box.value = query;
  show(query);
  // Results follow the typing; Enter still reloads the page with the query in its address.
  box.addEventListener("input", function () { show(box.value.trim()); });
  box.focus();
})();
