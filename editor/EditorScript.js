// The script the editor runs in its own script world: design mode, change tracking, and the document
// operations of the editing control. Every call starts with it; it defines itself once per document.
window.__velanto || (window.__velanto = (function () {
  const v = { generation: 0, edited: false, listening: false, changeTold: false };
  // The first change after the program's last copy of the document is told, so that it takes a new copy.
  v.noteChange = function () {
    if (!v.changeTold) {
      v.changeTold = true;
      console.log('velanto-changed');
    }
  };
  v.copy = function () {
    v.changeTold = false;
    return v.serialize(false);
  };
  v.noteEdit = function () {
    v.noteChange();
    if (!v.edited) {
      v.edited = true;
      console.log('velanto-edited:' + v.generation);
    }
  };
  v.clean = function (generation) {
    v.generation = generation;
    v.edited = false;
    return true;
  };
  v.setup = function (generation, showDetails, showBorders) {
    document.designMode = 'on';
    if (!v.listening) {
      document.addEventListener('input', function () { v.noteEdit(); }, true);
      v.listening = true;
    }
    v.display(showDetails, showBorders);
    return v.clean(generation);
  };
  // Editing aids live in an adopted style sheet: it is never part of the document's markup.
  v.display = function (showDetails, showBorders) {
    const rules = [];
    if (showBorders) {
      rules.push('table:not([border]) td, table:not([border]) th, table[border="0"] td, ' +
                 'table[border="0"] th { outline: 1px dotted #a0a0a0; outline-offset: -1px; }');
    }
    if (showDetails) {
      rules.push('p, div { outline: 1px dashed #c8c8c8; }');
      rules.push('a[name]:not([href])::before { content: "\u2693"; color: #808080; }');
    }
    const sheet = new CSSStyleSheet();
    sheet.replaceSync(rules.join('\n'));
    document.adoptedStyleSheets = [sheet];
    return true;
  };
  // The caret stays where the user left it; a document never touched gets it at the end of its body.
  v.ensureCaret = function () {
    const s = window.getSelection();
    if (s.rangeCount > 0 && s.anchorNode && document.contains(s.anchorNode))
      return;
    const body = document.body || document.documentElement;
    const r = document.createRange();
    r.selectNodeContents(body);
    r.collapse(false);
    s.removeAllRanges();
    s.addRange(r);
  };
  v.exec = function (command, value) {
    if (command !== 'undo' && command !== 'redo' && command !== 'selectAll')
      v.ensureCaret();
    return document.execCommand(command, false, value);
  };
  v.pasteHTML = function (html) {
    v.ensureCaret();
    // The engine answers false for some markup it has inserted all the same (tables): whether the
    // document changed is what tells, so an insert is never made twice and stays one undo step.
    const watch = new MutationObserver(function () {});
    watch.observe(document, { childList: true, subtree: true, characterData: true, attributes: true });
    const done = document.execCommand('insertHTML', false, html);
    const changed = watch.takeRecords().length > 0;
    watch.disconnect();
    if (done || changed)
      return true;
    const s = window.getSelection();
    const r = s.getRangeAt(0);
    r.deleteContents();
    const fragment = r.createContextualFragment(html);
    const last = fragment.lastChild;
    r.insertNode(fragment);
    if (last) {
      r.setStartAfter(last);
      r.collapse(true);
      s.removeAllRanges();
      s.addRange(r);
    }
    v.noteEdit();
    return true;
  };
  v.selectionText = function () { return window.getSelection().toString(); };
  v.linkAtSelection = function () {
    for (let n = window.getSelection().anchorNode; n; n = n.parentNode) {
      if (n.nodeName === 'A' && n.hasAttribute('href'))
        return n.getAttribute('href');
    }
    return '';
  };
  v.find = function (text, matchCase) {
    return window.find(text, matchCase, false, true, false, false, false);
  };
  v.bodyText = function () { return document.body ? document.body.innerText : ''; };
  v.title = function () { return document.title; };
  v.setTitle = function (title) {
    if (document.title === title)
      return false;
    document.title = title;
    return true;
  };
  v.bodyAttribute = function (name) {
    return document.body ? (document.body.getAttribute(name) || '') : '';
  };
  v.setBodyAttribute = function (name, value) {
    const b = document.body;
    if (!b)
      return false;
    const old = b.getAttribute(name);
    if (value === '') {
      if (old === null)
        return false;
      b.removeAttribute(name);
      return true;
    }
    if (old === value)
      return false;
    b.setAttribute(name, value);
    return true;
  };
  const has = function (object, key) { return Object.prototype.hasOwnProperty.call(object, key); };
  // Each picture reference (a src or background value) with the address it resolves to.
  v.references = function () {
    const found = Object.create(null);
    document.querySelectorAll('[src], [background]').forEach(function (e) {
      ['src', 'background'].forEach(function (name) {
        const value = e.getAttribute(name);
        if (value === null || value.trim() === '' || has(found, value))
          return;
        try {
          found[value] = new URL(value.trim(), document.baseURI).href;
        } catch (error) {
        }
      });
    });
    return found;
  };
  // The whole document as text. Saved copies declare UTF-8, the encoding they are written in, and
  // carry the picture references `changed` gives new values (attribute value -> new value).
  v.serialize = function (forSave, changed) {
    let root = document.documentElement;
    if (!root)
      return '';
    if (forSave) {
      root = root.cloneNode(true);
      root.querySelectorAll('[src], [background]').forEach(function (e) {
        ['src', 'background'].forEach(function (name) {
          const value = e.getAttribute(name);
          if (changed && value !== null && has(changed, value))
            e.setAttribute(name, changed[value]);
        });
      });
      let declared = false;
      root.querySelectorAll('meta').forEach(function (m) {
        if (m.hasAttribute('charset')) {
          m.setAttribute('charset', 'utf-8');
          declared = true;
        }
        if ((m.getAttribute('http-equiv') || '').toLowerCase() === 'content-type') {
          const c = m.getAttribute('content') || '';
          m.setAttribute('content', /charset\s*=/i.test(c)
            ? c.replace(/charset\s*=\s*["']?[^;"'\s]*["']?/i, 'charset=utf-8')
            : 'text/html; charset=utf-8');
          declared = true;
        }
      });
      const head = root.querySelector('head');
      if (!declared && head) {
        const m = document.createElement('meta');
        m.setAttribute('http-equiv', 'Content-Type');
        m.setAttribute('content', 'text/html; charset=utf-8');
        head.insertBefore(m, head.firstChild);
      }
    }
    let text = '';
    const d = document.doctype;
    if (d) {
      text = '<!DOCTYPE ' + d.name + (d.publicId ? ' PUBLIC "' + d.publicId + '"' : '') +
             (d.systemId ? (d.publicId ? '' : ' SYSTEM') + ' "' + d.systemId + '"' : '') + '>\n';
    }
    return text + root.outerHTML;
  };
  return v;
})());
