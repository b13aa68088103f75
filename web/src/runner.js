// Runs scripts in the Web Worker and stops runaway ones. Stop ends the worker at once (a plain
// worker shares no memory with the page, so the library's interrupt cannot reach a running
// script) and starts a fresh one; a run asked for meanwhile waits until it is ready.
export class Runner {
    constructor({ onReady, onResult }) {
        this.onReady = onReady;
        this.onResult = onResult;
        this.nextId = 1;
        this.pending = new Map();  // value requests by id
        this.start();
    }

    start() {
        this.ready = false;
        this.running = null;
        this.queued = null;
        this.worker = new Worker('worker.js');
        this.worker.onmessage = (event) => this.receive(event.data);
    }

    receive(message) {
        if (message.type === 'ready') {
            this.ready = true;
            this.onReady(message.ms);
            if (this.queued !== null) this.run(this.queued);
        } else if (message.type === 'result' && this.running === message.id) {
            this.running = null;
            this.onResult(message);
        } else if (message.type === 'value') {
            this.pending.get(message.id)?.(message.text);
            this.pending.delete(message.id);
        }
    }

    get busy() {
        return this.running !== null || this.queued !== null;
    }

    run(text) {
        if (!this.ready) {
            this.queued = text;
            return;
        }
        this.queued = null;
        this.running = this.nextId++;
        this.worker.postMessage({ type: 'run', id: this.running, text });
    }

    stop() {
        this.worker.terminate();
        for (const resolve of this.pending.values()) resolve(null);
        this.pending.clear();
        this.start();
    }

    // The whole value of a variable of the last run as qx text.
    valueText(name) {
        const id = this.nextId++;
        return new Promise((resolve) => {
            this.pending.set(id, resolve);
            this.worker.postMessage({ type: 'value', id, name });
        });
    }
}
