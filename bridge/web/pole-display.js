// A customer pole display through zorn-display-bridge, for a web POS:
//
//   import { PoleDisplay } from "http://127.0.0.1:8765/pole-display.js";
//   const display = new PoleDisplay({ display: "front" });
//   await display.showLines("Coffee", "EUR 2.40");
//
// Every call answers when the display shows the change and throws a BridgeError (with the
// HTTP status and the bridge's message) when it does not.

export class BridgeError extends Error {
  constructor(status, message) {
    super(message);
    this.name = "BridgeError";
    this.status = status;
  }
}

export class PoleDisplay {
  // baseUrl: where the bridge listens; display: its --display name; token: the token file's
  // text when the bridge asks for one.
  constructor({ baseUrl = "http://127.0.0.1:8765", display, token } = {}) {
    this.baseUrl = baseUrl.replace(/\/$/, "");
    this.display = display;
    this.token = token;
  }

  async #call(method, path, body) {
    const headers = {};
    if (this.token) headers.Authorization = `Bearer ${this.token}`;
    if (body !== undefined) headers["Content-Type"] = "application/json";
    const response = await fetch(this.baseUrl + path, {
      method,
      headers,
      body: body === undefined ? undefined : JSON.stringify(body),
    });
    if (!response.ok) {
      let message = response.statusText;
      try {
        message = (await response.json()).error ?? message;
      } catch {
        // not JSON: keep the status text
      }
      throw new BridgeError(response.status, message);
    }
    return response.status === 204 ? null : response.json();
  }

  #path(action = "") {
    return `/v1/displays/${encodeURIComponent(this.display)}${action}`;
  }

  // The displays the bridge drives: [{name, port, online, code_page}].
  displays() {
    return this.#call("GET", "/v1/displays");
  }
  // What this display shows: {name, online, lines: [first, second]}.
  state() {
    return this.#call("GET", this.#path());
  }
  // Both lines at once; a missing or null line is blank.
  showLines(first = null, second = null) {
    return this.#call("PUT", this.#path("/lines"), { lines: [first, second] });
  }
  // Text at a place; the rest of the screen stays.
  showText(row, column, text) {
    return this.#call("POST", this.#path("/text"), { row, column, text });
  }
  clear() {
    return this.#call("POST", this.#path("/clear"));
  }
  // A scrolling line until stopMarquee() or the next change of that row.
  startMarquee(text, { row = 0, unitWaitMs = 150 } = {}) {
    return this.#call("PUT", this.#path("/marquee"), { text, row, unit_wait_ms: unitWaitMs });
  }
  stopMarquee() {
    return this.#call("DELETE", this.#path("/marquee"));
  }

  // Calls onEvent({type: "online"|"offline", name, online, reason}) for every display until the
  // returned function is called. Uses fetch (not EventSource) so that the token can be sent.
  watch(onEvent) {
    const abort = new AbortController();
    const headers = this.token ? { Authorization: `Bearer ${this.token}` } : {};
    (async () => {
      const response = await fetch(this.baseUrl + "/v1/events", { headers, signal: abort.signal });
      if (!response.ok) throw new BridgeError(response.status, response.statusText);
      const reader = response.body.pipeThrough(new TextDecoderStream()).getReader();
      let pending = "";
      for (;;) {
        const { value, done } = await reader.read();
        if (done) return;
        pending += value;
        let end;
        while ((end = pending.indexOf("\n\n")) >= 0) {
          const block = pending.slice(0, end);
          pending = pending.slice(end + 2);
          const type = /^event: (.*)$/m.exec(block)?.[1];
          const data = /^data: (.*)$/m.exec(block)?.[1];
          if (type && data) onEvent({ type, ...JSON.parse(data) });
        }
      }
    })().catch(() => {});
    return () => abort.abort();
  }
}
