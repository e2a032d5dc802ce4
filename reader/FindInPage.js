// Find in page. Runs in the reader's own script world, so nothing the page's scripts do to
// their globals can change it; the document and its selection are shared with the page.
//
// findInPage(request) searches the text the page shows and makes the match the selection.
//   request: {text, matchCase, wholeWord, down, range: null or {start, end, document}}
//   result:  {status: "found" | "notfound" | "nobody", start, end, document}
// Positions count UTF-16 units of the shown text (see shownText). `document` names the
// document searched: a range kept from another document counts as none, so the search on a
// new page starts at its top.
function findInPage(request) {
  if (!globalThis.foliantoDocument)
    globalThis.foliantoDocument = Date.now().toString(36) + Math.random().toString(36).slice(2);
  const documentName = globalThis.foliantoDocument;
  const result = (status, start, end) => ({status, start, end, document: documentName});

  // A frame set, or a document that is not HTML, has nothing to search.
  const body = document.body;
  if (!(body instanceof HTMLBodyElement))
    return result("nobody", 0, 0);

  const shown = shownText(body);
  const fold = request.matchCase ? (s) => s : foldCase;
  const text = fold(shown.text);
  const needle = fold(String(request.text).replace(/\s+/g, " "));
  if (needle.length === 0)
    return result("notfound", 0, 0);

  const kept = request.range && request.range.document === documentName ? request.range : null;
  const whole = (at) => !request.wholeWord || isWholeWord(text, at, needle.length);
  let at = -1;
  if (request.down) {
    // From one character after the previous match's start (a match overlapping it comes
    // next), or from the top when there is none yet.
    let from = kept ? kept.start + 1 : 0;
    for (at = text.indexOf(needle, from); at >= 0 && !whole(at); at = text.indexOf(needle, at + 1)) {}
  } else {
    // Backwards from one character before the previous match's end, or from the bottom.
    const end = kept ? Math.min(kept.end - 1, text.length) : text.length;
    let from = end - needle.length;
    at = from >= 0 ? text.lastIndexOf(needle, from) : -1;
    while (at >= 0 && !whole(at))
      at = at > 0 ? text.lastIndexOf(needle, at - 1) : -1;
  }
  if (at < 0)
    return result("notfound", 0, 0);

  const range = shown.rangeOf(at, at + needle.length);
  const selection = window.getSelection();
  selection.removeAllRanges();
  selection.addRange(range);
  reveal(range);
  return result("found", at, at + needle.length);
}

// The text of the page as a reader sees it, and a way back from its positions to the DOM.
// Left out: scripts, styles and other elements that show no text of their own, and text
// that is not displayed or not visible. White space runs fold to one space as the page
// shows them (except in preformatted text); block boundaries and line breaks become a
// line feed, which no search text holds, so a match never runs across two paragraphs.
function shownText(body) {
  const unshown = new Set(["SCRIPT", "STYLE", "NOSCRIPT", "TEMPLATE", "TEXTAREA", "SELECT", "IFRAME",
                           "OBJECT", "EMBED", "CANVAS", "VIDEO", "AUDIO", "HEAD", "TITLE"]);
  const chars = [];
  const nodes = [];    // per character: the text node it comes from, or null for a break
  const offsets = [];  // per character: its offset in that node
  const last = () => (chars.length ? chars[chars.length - 1] : "\n");
  const push = (c, node, offset) => { chars.push(c); nodes.push(node); offsets.push(offset); };
  const lineBreak = () => { if (last() !== "\n") push("\n", null, 0); };

  const walk = (element) => {
    const style = getComputedStyle(element);
    if (style.display === "none")
      return;
    const block = !style.display.startsWith("inline") && style.display !== "contents";
    if (block || element.tagName === "BR")
      lineBreak();
    const visible = style.visibility === "visible";
    const collapse = !/^pre|break-spaces/.test(style.whiteSpace);
    for (let child = element.firstChild; child; child = child.nextSibling) {
      if (child.nodeType === Node.ELEMENT_NODE) {
        if (!unshown.has(child.tagName.toUpperCase()))
          walk(child);
      } else if (child.nodeType === Node.TEXT_NODE && visible) {
        const data = child.data;
        for (let i = 0; i < data.length; ++i) {
          const c = data[i];
          if (c === "\n" && !collapse)
            push("\n", child, i);
          else if (/\s/.test(c)) {
            if (!collapse || (last() !== " " && last() !== "\n"))
              push(" ", child, i);
          } else {
            push(c, child, i);
          }
        }
      }
    }
    if (block)
      lineBreak();
  };
  walk(body);

  return {
    text: chars.join(""),
    rangeOf(start, end) {
      const range = document.createRange();
      let first = start;
      while (!nodes[first]) ++first;
      let final = end - 1;
      while (!nodes[final]) --final;
      range.setStart(nodes[first], offsets[first]);
      range.setEnd(nodes[final], offsets[final] + 1);
      return range;
    },
  };
}

// Lower case, one UTF-16 unit for one, so that positions stay those of the shown text.
function foldCase(s) {
  let folded = "";
  for (const c of s) {
    const lower = c.toLowerCase();
    folded += lower.length === c.length ? lower : c;
  }
  return folded;
}

// A whole word has no letter, digit or underscore right before or after it, where its own
// first or last character is one.
function isWholeWord(text, at, length) {
  const word = /[\p{L}\p{N}\p{M}_]/u;
  const before = at > 0 ? text[at - 1] : "";
  const after = at + length < text.length ? text[at + length] : "";
  return !(word.test(text[at]) && word.test(before)) && !(word.test(text[at + length - 1]) && word.test(after));
}

// Scrolls the match into view: inside scrolling boxes around it, then the window.
function reveal(range) {
  for (let box = range.startContainer.parentElement; box && box !== document.body && box !== document.documentElement;
       box = box.parentElement) {
    if (box.scrollHeight <= box.clientHeight && box.scrollWidth <= box.clientWidth)
      continue;
    const outer = box.getBoundingClientRect();
    const r = range.getBoundingClientRect();
    if (r.top < outer.top || r.bottom > outer.bottom)
      box.scrollTop += r.top - outer.top - (box.clientHeight - r.height) / 2;
    if (r.left < outer.left || r.right > outer.right)
      box.scrollLeft += r.left - outer.left - (box.clientWidth - r.width) / 2;
  }
  const r = range.getBoundingClientRect();
  if (r.top < 0 || r.bottom > window.innerHeight)
    window.scrollBy(0, r.top - (window.innerHeight - r.height) / 2);
  if (r.left < 0 || r.right > window.innerWidth)
    window.scrollBy(r.left - (window.innerWidth - r.width) / 2, 0);
}
